// Whole passes of the stage through the paint path, with scripted keys: what
// every edition's stage test shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "vx_testing.h"

namespace support {

constexpr int kStageFrames = 14300;

// Over raw bytes: the tables are plain records, so their bytes are their
// state. Eight bytes a step, so that hashing whole tables often stays cheap.
class Hash {
 public:
  template <class T>
  void Add(const T& value) {
    AddBytes(&value, sizeof value);
  }
  void AddBytes(const void* data, size_t size);
  uint64_t value() const { return h_; }

 private:
  void Mix(uint64_t word) {
    h_ = (h_ ^ word) * 0x9E3779B97F4A7C15ull;
    h_ ^= h_ >> 29;
  }
  uint64_t h_ = 1469598103934665603ull;
};

// A frame's drawing calls as the recording target kept them, without the
// pointers that differ between runs: bitmaps, strokes and formats as which
// of the shell's own they are, texts by their characters.
void AddCommands(Hash& h, const std::vector<vxtest::Command>& commands);

struct StageHooks {
  void (*keys)(int frame);          // sets the held keys before the frame
  void (*mixState)(Hash& h);        // the edition's whole game state
  std::function<void(int frame)> before;         // optional, before the frame
  std::function<std::string(int frame)> after;  // optional: the first fault, or ""
};

struct StageRun {
  // The state every few frames and at the end, those frames' drawing, and
  // every sound played.
  uint64_t hash = 0;
  uint64_t worstAllocations = 0;  // heap allocations inside the worst frame
  int frameOfWorst = -1;
  int hitSounds = 0;
  int straySoundCalls = 0;
};

// One pass from start-up state. A fault from `after` is reported as a test
// failure and ends the pass.
StageRun RunStage(const StageHooks& hooks);

// A second pass without checks, on a warm recorder: the same hash and sounds
// as the first, and not one frame that allocates.
void ExpectIdenticalReplay(const StageRun& first, void (*keys)(int frame), void (*mixState)(Hash& h));

}  // namespace support
