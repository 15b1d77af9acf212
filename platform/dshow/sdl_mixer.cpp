// The one mixer behind every graph: an SDL2 audio device whose callback sums
// the running streams in float through a limiter. Without a device (none, or
// SDL's dummy driver) the worker thread mixes to nowhere by the clock, so
// sounds still end on time. And winmm's count of the outputs there are.
#include "vx_dshow.h"
#include "testing/vx_sound_testing.h"
#include <mmsystem.h>
#include "vx_support.h"

#include <SDL.h>
#include <dirent.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace vxds {

namespace {

constexpr int kMaxStreams = 256;
constexpr int kSilentRate = 48000;
// ~27 ms at 48 kHz: enough to ride out the 20 ms or so that a loaded desktop
// delays the audio thread or the sound server, while a play still leaves the
// device within ~45 ms (it waits up to one buffer to be mixed, then most of
// another to be heard), well within two frames.
constexpr int kDeviceFrames = 1280;
constexpr int kChunkFrames = 512;
constexpr auto kWorkerPeriod = std::chrono::milliseconds(5);
constexpr auto kDeviceCheckPeriod = std::chrono::milliseconds(500);
constexpr auto kReopenPeriod = std::chrono::seconds(2);

using Clock = std::chrono::steady_clock;

struct Mixer {
  std::mutex life;  // Acquire/Release against each other
  int users = 0;
  int rate = 0;

  // Everything below `lock` is for the worker and the graphs, never the audio thread.
  std::mutex lock;
  std::condition_variable wake;
  bool quit = false;
  std::thread worker;
  std::vector<Stream*> streams;
  SDL_AudioDeviceID device = 0;
  int deviceFrames = 0;  // the buffer the device gave, at rate
  bool audioInitialised = false;
  bool canReopen = false;  // a real driver whose device went away
  Clock::time_point clockStart;
  int64_t clockFrames = 0;
  Clock::time_point lastDeviceCheck, lastReopen;
  std::vector<float> scratch;
  std::vector<std::shared_ptr<EventQueue>> due;

  // What the audio thread reads.
  std::atomic<Stream*> slots[kMaxStreams];
  std::atomic<uint32_t> mixSeq{0};  // odd while a mix is in progress
  float limiterGain = 1.0f;
  float limiterRelease = 0.0f;
};

Mixer& M() {
  static Mixer* mixer = new Mixer();  // outlives static destruction on purpose
  return *mixer;
}

std::atomic<bool> g_manual{false};
bool g_reportedOff = false;

void AddFrames(float* out, const float* in, int frames) {
  for (int i = 0; i < frames * 2; ++i) out[i] += in[i];
}

void ApplyControl(Stream& s, uint64_t c) {
  uint32_t e = EpochOf(c);
  if (e == s.mixEpoch) return;
  s.mixEpoch = e;
  s.mixPos = int64_t(c & kFrameMask);
  s.frontOffset = 0;
  s.mixEnded = false;
}

// Audio thread (or whoever mixes in its place): no locks, no allocation.
void MixStream(Stream& s, float* out, int frames) {
  uint64_t c = s.control.load(std::memory_order_acquire);
  ApplyControl(s, c);
  uint32_t r = s.read.load(std::memory_order_relaxed);
  uint32_t w = s.written.load(std::memory_order_acquire);
  // Drop what an older seek left in the ring. A block newer than our view of
  // the control word means the graph seeked since we read it.
  while (r != w) {
    const Block& b = s.ring[r % kRingBlocks];
    if (b.epoch == s.mixEpoch) break;
    uint64_t fresh = s.control.load(std::memory_order_acquire);
    if (EpochOf(fresh) == b.epoch) {
      c = fresh;
      ApplyControl(s, c);
      continue;
    }
    ++r;
    s.frontOffset = 0;
  }

  bool ended = false;
  if ((c & kRunningBit) && !s.mixEnded) {
    int done = 0;
    while (done < frames) {
      if (s.mixPos < s.headFrames) {
        int n = int(std::min<int64_t>(frames - done, s.headFrames - s.mixPos));
        AddFrames(out + done * 2, s.head.data() + s.mixPos * 2, n);
        s.mixPos += n;
        done += n;
        if (s.mixPos == s.headFrames && s.headIsAll) ended = true;
        continue;
      }
      if (s.headIsAll) {
        ended = true;
        break;
      }
      if (r == w) {
        w = s.written.load(std::memory_order_acquire);
        if (r == w) break;  // the worker is behind: silence, position held
      }
      const Block& b = s.ring[r % kRingBlocks];
      if (b.epoch != s.mixEpoch) break;  // a seek we will see next time
      if (s.frontOffset == 0 && b.start != s.mixPos) {
        if (b.start + b.count <= s.mixPos && !b.last) {
          ++r;
          continue;
        }
        if (b.start > s.mixPos) s.mixPos = b.start;
        s.frontOffset = int(s.mixPos - b.start);
      }
      int n = std::min(b.count - s.frontOffset, frames - done);
      if (n > 0) {
        AddFrames(out + done * 2, b.samples + s.frontOffset * 2, n);
        s.frontOffset += n;
        s.mixPos += n;
        done += n;
      }
      if (s.frontOffset >= b.count) {
        if (b.last) {
          ended = true;
          break;
        }
        ++r;
        s.frontOffset = 0;
      }
    }
  }
  s.read.store(r, std::memory_order_release);
  if (ended && !s.mixEnded) {
    s.mixEnded = true;
    s.completions.fetch_add(1, std::memory_order_release);
  }
  s.published.store((uint64_t(s.mixEpoch) << kEpochShift) | (uint64_t(s.mixPos) & kFrameMask),
                    std::memory_order_release);
}

void Mix(float* out, int frames) {
  Mixer& m = M();
  m.mixSeq.fetch_add(1);
  std::memset(out, 0, size_t(frames) * 2 * sizeof(float));
  for (auto& slot : m.slots) {
    if (Stream* s = slot.load()) MixStream(*s, out, frames);
  }
  m.mixSeq.fetch_add(1);
  // Instant attack, smooth release: the sum never leaves [-1, 1].
  float g = m.limiterGain;
  for (int i = 0; i < frames; ++i) {
    float peak = std::max(std::fabs(out[2 * i]), std::fabs(out[2 * i + 1]));
    float target = peak * g > 1.0f ? 1.0f / peak : 1.0f;
    if (target < g) {
      g = target;
    } else {
      g += (target - g) * m.limiterRelease;
    }
    out[2 * i] = std::clamp(out[2 * i] * g, -1.0f, 1.0f);
    out[2 * i + 1] = std::clamp(out[2 * i + 1] * g, -1.0f, 1.0f);
  }
  m.limiterGain = g;
}

void SDLCALL AudioCallback(void*, Uint8* stream, int len) {
  Mix(reinterpret_cast<float*>(stream), len / int(2 * sizeof(float)));
}

// ---- worker side, under m.lock ----

void Refill(Stream& s) {
  uint64_t c = s.control.load(std::memory_order_acquire);
  uint32_t e = EpochOf(c);
  if (e != s.prodEpoch) {
    s.prodEpoch = e;
    s.prodPos = std::max<int64_t>(int64_t(c & kFrameMask), s.headFrames);
    s.prodEnded = s.headIsAll;
    if (!s.prodEnded) s.source->Seek(s.prodPos);
  }
  if (s.prodEnded) return;
  uint32_t w = s.written.load(std::memory_order_relaxed);
  while (w - s.read.load(std::memory_order_acquire) < uint32_t(kRingBlocks)) {
    Block& b = s.ring[w % kRingBlocks];
    b.epoch = e;
    b.start = s.prodPos;
    b.count = s.source->Read(b.samples, kBlockFrames);
    b.last = b.count < kBlockFrames;
    s.prodPos += b.count;
    s.written.store(++w, std::memory_order_release);
    if (b.last) {
      s.prodEnded = true;
      break;
    }
  }
}

void RefillAll(Mixer& m) {
  for (Stream* s : m.streams) Refill(*s);
}

void CollectCompletions(Mixer& m) {
  for (Stream* s : m.streams) {
    uint32_t c = s->completions.load(std::memory_order_acquire);
    for (; s->completionsSeen != c; ++s->completionsSeen) m.due.push_back(s->events);
  }
}

void DeliverCompletions(std::unique_lock<std::mutex>& held, Mixer& m) {
  if (m.due.empty()) return;
  std::vector<std::shared_ptr<EventQueue>> due;
  due.swap(m.due);
  held.unlock();  // posting takes the window layer's locks
  for (auto& q : due) q->Push(EC_COMPLETE, 0, 0);
  due.clear();
  held.lock();
}

void MixByClock(Mixer& m, Clock::time_point now) {
  int64_t dueFrames = int64_t(std::chrono::duration<double>(now - m.clockStart).count() * m.rate);
  if (dueFrames - m.clockFrames > m.rate) m.clockFrames = dueFrames - m.rate;  // stalled: catch up 1 s at most
  while (m.clockFrames < dueFrames) {
    int n = int(std::min<int64_t>(kChunkFrames, dueFrames - m.clockFrames));
    RefillAll(m);
    Mix(m.scratch.data(), n);
    m.clockFrames += n;
  }
}

void ReportSoundOff(const char* detail) {
  if (g_reportedOff) return;
  g_reportedOff = true;
  VxReportEnvironmentFailure("sound is off", detail);
}

bool OpenDevice(Mixer& m, bool fixedRate) {
  SDL_AudioSpec want{}, have{};
  want.freq = m.rate > 0 ? m.rate : kSilentRate;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  want.samples = kDeviceFrames;
  want.callback = AudioCallback;
  m.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, fixedRate ? 0 : SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
  if (m.device == 0) return false;
  if (!fixedRate) m.rate = have.freq;
  m.deviceFrames = have.samples;
  return true;
}

void StartClock(Mixer& m) {
  m.clockStart = Clock::now();
  m.clockFrames = 0;
}

// SDL's PulseAudio driver waits for the server to ask for more sound
// inside its connection to the server, and looks for a close only once it
// has been asked; a server may not ask for seconds (an idle null sink takes
// two at a time when a stream joins it). A signal whose handler does
// nothing ends each such wait early, so that the audio thread sees the
// close at once. SIGURG, which is ignored where no handler is set, and only
// where nobody else has set one.
constexpr int kNudgeSignal = SIGURG;

void IgnoreNudge(int) {}

bool CanNudge() {
  static const bool can = [] {
    struct sigaction old {};
    if (sigaction(kNudgeSignal, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) return false;
    struct sigaction nudge {};
    nudge.sa_handler = IgnoreNudge;  // no SA_RESTART: the wait is to end
    sigemptyset(&nudge.sa_mask);
    return sigaction(kNudgeSignal, &nudge, nullptr) == 0;
  }();
  return can;
}

// The kernel's id of the thread SDL plays the device on, found by the name
// SDL gives it; 0 if there is none. Its first wait can come before any
// callback, while the device is still paused.
pid_t AudioThreadOf(SDL_AudioDeviceID device) {
  const std::string name = "SDLAudioP" + std::to_string(device) + "\n";
  pid_t found = 0;
  DIR* tasks = opendir("/proc/self/task");
  if (!tasks) return 0;
  while (dirent* task = readdir(tasks)) {
    if (task->d_name[0] == '.') continue;
    char comm[32] = "";
    if (FILE* f = std::fopen(("/proc/self/task/" + std::string(task->d_name) + "/comm").c_str(), "r")) {
      if (!std::fgets(comm, sizeof comm, f)) comm[0] = 0;
      std::fclose(f);
    }
    if (name == comm) found = pid_t(std::atoi(task->d_name));
  }
  closedir(tasks);
  return found;
}

void CloseDevice(Mixer& m) {
  if (!m.device) return;
  const char* driver = SDL_GetCurrentAudioDriver();
  const pid_t audio = driver && std::strcmp(driver, "pulseaudio") == 0 ? AudioThreadOf(m.device) : 0;
  std::atomic<bool> closed{false};
  std::thread nudger;
  if (audio && CanNudge()) {
    // By id, not handle: the thread ends, and is joined, while this runs.
    nudger = std::thread([&closed, audio] {
      while (!closed) {
        syscall(SYS_tgkill, getpid(), audio, kNudgeSignal);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
  }
  SDL_CloseAudioDevice(m.device);  // waits for the callback to return and the audio thread to end
  closed = true;
  if (nudger.joinable()) nudger.join();
  m.device = 0;
}

void WorkerMain() {
  Mixer& m = M();
  std::unique_lock<std::mutex> held(m.lock);
  while (!m.quit) {
    m.wake.wait_for(held, kWorkerPeriod);
    if (m.quit) break;
    Clock::time_point now = Clock::now();
    RefillAll(m);
    if (m.device && now - m.lastDeviceCheck >= kDeviceCheckPeriod) {
      m.lastDeviceCheck = now;
      if (SDL_GetAudioDeviceStatus(m.device) == SDL_AUDIO_STOPPED) {
        CloseDevice(m);
        StartClock(m);
        m.canReopen = true;
        m.lastReopen = now;
        VxReportEnvironmentFailure("audio device lost", "playing on silently until one returns");
      }
    }
    if (!m.device && m.canReopen && !g_manual && now - m.lastReopen >= kReopenPeriod) {
      m.lastReopen = now;
      if (OpenDevice(m, true)) SDL_PauseAudioDevice(m.device, 0);
    }
    if (!m.device && !g_manual) MixByClock(m, now);
    CollectCompletions(m);
    DeliverCompletions(held, m);
  }
}

}  // namespace

bool MixerAcquire(int* rate) {
  Mixer& m = M();
  std::lock_guard<std::mutex> life(m.life);
  if (m.users++ > 0) {
    *rate = m.rate;
    return true;
  }
  m.rate = 0;
  m.canReopen = false;
  const char* off = nullptr;
  std::string detail;
  VxPrepareSdl();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    detail = SDL_GetError();
    off = detail.c_str();
  } else {
    m.audioInitialised = true;
    const char* driver = SDL_GetCurrentAudioDriver();
    if (driver && std::strcmp(driver, "dummy") == 0) {
      off = "the dummy audio driver is selected";
    } else if (!OpenDevice(m, false)) {
      detail = SDL_GetError();
      off = detail.c_str();
    }
  }
  if (off) ReportSoundOff(off);
  if (m.rate <= 0) m.rate = kSilentRate;
  m.limiterGain = 1.0f;
  m.limiterRelease = float(1.0 - std::exp(-1.0 / (0.05 * m.rate)));
  m.scratch.assign(size_t(kChunkFrames) * 2, 0.0f);
  m.streams.reserve(kMaxStreams);
  {
    std::lock_guard<std::mutex> held(m.lock);
    m.quit = false;
    StartClock(m);
    m.lastDeviceCheck = m.clockStart;
  }
  m.worker = std::thread(WorkerMain);
  if (m.device && !g_manual) SDL_PauseAudioDevice(m.device, 0);
  *rate = m.rate;
  return true;
}

void MixerRelease() {
  Mixer& m = M();
  std::lock_guard<std::mutex> life(m.life);
  if (m.users <= 0 || --m.users > 0) return;
  {
    std::lock_guard<std::mutex> held(m.lock);
    m.quit = true;
  }
  m.wake.notify_all();
  m.worker.join();
  CloseDevice(m);
  if (m.audioInitialised) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  m.audioInitialised = false;
}

bool MixerAdd(Stream* stream) {
  Mixer& m = M();
  bool added = false;
  {
    std::lock_guard<std::mutex> held(m.lock);
    for (auto& slot : m.slots) {
      if (!slot.load()) {
        slot.store(stream);
        m.streams.push_back(stream);
        added = true;
        break;
      }
    }
  }
  if (added) m.wake.notify_all();
  return added;
}

void MixerRemove(Stream* stream) {
  Mixer& m = M();
  std::lock_guard<std::mutex> held(m.lock);
  m.streams.erase(std::remove(m.streams.begin(), m.streams.end(), stream), m.streams.end());
  for (auto& slot : m.slots) {
    if (slot.load() == stream) slot.store(nullptr);
  }
  // A mix that began before the slot emptied may still hold the stream.
  uint32_t seq = m.mixSeq.load();
  while ((seq & 1) && m.mixSeq.load() == seq) std::this_thread::yield();
}

void MixerWake() { M().wake.notify_all(); }

}  // namespace vxds

UINT WINAPI waveOutGetNumDevs() {
  VxPrepareSdl();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
  const char* driver = SDL_GetCurrentAudioDriver();
  const int listed = driver && std::strcmp(driver, "dummy") != 0 ? SDL_GetNumAudioDevices(0) : 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return listed < 0 ? 1 : UINT(listed);  // -1: the driver lists nothing, but has its default
}

namespace vxtest {

void UseManualMixer(bool on) {
  vxds::Mixer& m = vxds::M();
  std::lock_guard<std::mutex> life(m.life);
  std::lock_guard<std::mutex> held(m.lock);
  vxds::g_manual = on;
  if (m.device) SDL_PauseAudioDevice(m.device, on ? 1 : 0);
  vxds::StartClock(m);
}

int MixerRate() {
  vxds::Mixer& m = vxds::M();
  std::lock_guard<std::mutex> life(m.life);
  return m.users > 0 ? m.rate : 0;
}

bool MixerDeviceBuffer(int* frames, int* rate) {
  vxds::Mixer& m = vxds::M();
  std::lock_guard<std::mutex> held(m.lock);
  if (m.device == 0) return false;
  *frames = m.deviceFrames;
  *rate = m.rate;
  return true;
}

bool MixerIsSilent() {
  vxds::Mixer& m = vxds::M();
  std::lock_guard<std::mutex> held(m.lock);
  return m.device == 0;
}

bool PullMixerOutput(float* stereo, int frames) {
  vxds::Mixer& m = vxds::M();
  std::lock_guard<std::mutex> life(m.life);
  std::unique_lock<std::mutex> held(m.lock);
  if (!vxds::g_manual || m.users <= 0) return false;
  for (int done = 0; done < frames;) {
    int n = std::min(vxds::kChunkFrames, frames - done);
    // Let the mix see seeks first, so the refill finds the ring free of what
    // they made stale: the output is then the same however the pulls fall.
    vxds::Mix(stereo + done * 2, 0);
    vxds::RefillAll(m);
    vxds::Mix(stereo + done * 2, n);
    done += n;
  }
  vxds::CollectCompletions(m);
  vxds::DeliverCompletions(held, m);
  return true;
}

}  // namespace vxtest
