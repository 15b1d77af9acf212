// Inside the DirectShow family: the decoder behind each graph, the stream the
// mixer plays it through, and the one mixer that feeds the audio device.
//
// Threads: the user-interface thread drives graphs; one worker thread decodes
// ahead into each stream's ring and delivers completions; the device's audio
// thread mixes. The audio thread only reads atomics and the rings: it never
// locks, allocates or decodes.
#pragma once
#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct mpg123_handle_struct;

namespace vxds {

// ---- decoding: mpg123_source.cpp ----

// One MP3 file decoded as it streams, resampled to the mixer's rate, as
// interleaved stereo float. Not thread-safe: the worker owns it once opened.
class Mpg123Source {
 public:
  // Fails with an HRESULT unless the file yields at least one audio frame.
  // On failure *why says in plain words what is wrong with the file.
  static HRESULT Open(const std::string& path, int outRate, std::unique_ptr<Mpg123Source>* source,
                      std::string* why);
  ~Mpg123Source();

  // Up to `frames` frames from the current position; fewer only at the end.
  int Read(float* stereo, int frames);
  // Moves to an output frame; past the end, Read then returns 0.
  void Seek(int64_t frame);
  // In output frames; -1 when the file does not say.
  int64_t Length() const { return length_; }

 private:
  Mpg123Source() = default;
  bool Fill();  // decodes one more chunk into buf_; false at the end

  mpg123_handle_struct* mh_ = nullptr;
  int fd_ = -1;
  int64_t srcRate_ = 0, outRate_ = 0;
  int channels_ = 0;
  int64_t length_ = -1;
  // Output frame n samples the source at n * srcRate / outRate: whole part
  // srcIndex_, remainder acc_ (in 1/outRate).
  int64_t srcIndex_ = 0;
  int64_t acc_ = 0;
  std::vector<float> raw_;  // one decoded chunk as mpg123 gives it
  std::vector<float> buf_;  // stereo source frames [bufBase_, bufBase_ + bufCount_)
  int64_t bufBase_ = 0;
  int bufCount_ = 0;
  bool ended_ = false;
  bool damaged_ = false;  // ended by a frame that failed, not by the file's end
};

// ---- streams and the mixer: sdl_mixer.cpp ----

constexpr int kBlockFrames = 1024;
constexpr int kRingBlocks = 8;
constexpr int kHeadMs = 100;

// Decoded audio from the worker, tagged with the seek it belongs to.
struct Block {
  uint32_t epoch;
  bool last;  // the sound ends after this block
  int count;
  int64_t start;  // output frame of samples[0]
  float samples[kBlockFrames * 2];
};

// A graph's event queue; the worker queues completions, the graph reads them.
class EventQueue {
 public:
  void Push(long code, LONG_PTR param1, LONG_PTR param2);
  bool Pop(long* code, LONG_PTR* param1, LONG_PTR* param2, long msTimeout);
  void SetNotify(HWND hwnd, UINT message, LONG_PTR instance);

 private:
  struct Event { long code; LONG_PTR param1, param2; };
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Event> events_;
  HWND hwnd_ = nullptr;
  UINT message_ = 0;
  LONG_PTR instance_ = 0;
};

// Control word, written only by the graph: seek epoch (23 bits) | running (1)
// | seek target frame (40 bits). One word so the mixer sees each change whole.
constexpr int kEpochShift = 41;
constexpr uint64_t kRunningBit = uint64_t(1) << 40;
constexpr uint64_t kFrameMask = kRunningBit - 1;
inline uint32_t EpochOf(uint64_t word) { return uint32_t(word >> kEpochShift); }

struct Stream {
  std::atomic<uint64_t> control{0};
  // The first kHeadMs of the sound, decoded once, so that a rewind plays at
  // once while the worker seeks. Immutable after registration.
  std::vector<float> head;
  int64_t headFrames = 0;
  bool headIsAll = false;  // the whole sound fits in head
  int64_t length = -1;     // output frames, -1 unknown

  // worker -> mixer ring
  Block ring[kRingBlocks];
  std::atomic<uint32_t> written{0};
  std::atomic<uint32_t> read{0};

  // mixer -> graph: epoch | position, and the count of ends reached
  std::atomic<uint64_t> published{0};
  std::atomic<uint32_t> completions{0};

  // mixer's own
  uint32_t mixEpoch = 0;
  int64_t mixPos = 0;
  int frontOffset = 0;
  bool mixEnded = false;

  // worker's own
  std::unique_ptr<Mpg123Source> source;
  uint32_t prodEpoch = ~0u;
  int64_t prodPos = 0;
  bool prodEnded = false;
  uint32_t completionsSeen = 0;
  std::shared_ptr<EventQueue> events;
};

// The process's mixer. Acquire before decoding a graph's head (it fixes the
// rate), Release once per Acquire; the device closes with the last release.
bool MixerAcquire(int* rate);
void MixerRelease();
// Adds a stream to the mix; false, with nothing added, when the table is full.
bool MixerAdd(Stream* stream);
void MixerRemove(Stream* stream);  // returns once no thread touches it
// A seek: have the worker refill now. A seek inside the kept start is heard
// at once; one past it is silent until the worker has decoded there.
void MixerWake();

}  // namespace vxds
