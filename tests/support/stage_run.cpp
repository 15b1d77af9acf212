// Hashing whole tables every few frames is most of a pass's work in the
// unoptimised sanitizer build; this file is optimised there too.
#pragma GCC optimize("O2")

#include "stage_run.h"

#include <gtest/gtest.h>

#include <cstring>

#include "alloc_counter.h"
#include "app/shell.h"
#include "game_fixture.h"

namespace support {
namespace {

// Every seventh frame: prime to the key scripts' periods, and a pass stays
// quick under the sanitizers.
constexpr int kSampleEvery = 7;

int Which(const void* p, const void* first, const void* second) {
  if (!p) return 0;
  if (p == first) return 1;
  if (p == second) return 2;
  return 3;
}

}  // namespace

// Reads only whole live objects, so the sanitizer's checks would only cost.
__attribute__((no_sanitize_address)) void Hash::AddBytes(const void* data, size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  for (; size >= 8; p += 8, size -= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    Mix(word);
  }
  uint64_t tail = 0;
  std::memcpy(&tail, p, size);
  Mix(tail ^ (uint64_t(size) << 59));
}

void AddCommands(Hash& h, const std::vector<vxtest::Command>& commands) {
  using vxtest::Op;
  for (const vxtest::Command& c : commands) {
    h.Add(c.op);
    h.Add(c.color);
    h.Add(c.brushOpacity);
    switch (c.op) {
      case Op::Clear:
        break;
      case Op::DrawLine:
        h.Add(c.p0);
        h.Add(c.p1);
        break;
      case Op::DrawRectangle:
      case Op::FillRectangle:
        h.Add(c.rect);
        break;
      case Op::DrawRoundedRectangle:
        h.Add(c.rounded);
        break;
      case Op::DrawEllipse:
      case Op::FillEllipse:
        h.Add(c.ellipse);
        break;
      case Op::DrawBitmap:
        h.Add(c.rect);
        h.Add(Which(c.bitmap, g_spriteBitmap, g_backgroundBitmap));
        h.Add(c.hasSource);
        if (c.hasSource) h.Add(c.source);
        h.Add(c.opacity);
        h.Add(c.interpolation);
        break;
      case Op::DrawText:
        h.Add(c.rect);
        h.Add(Which(c.format, g_largeTextFormat, g_smallTextFormat));
        h.Add(c.alignment);
        h.Add(c.textLength);
        for (const WCHAR* t = c.text; t && *t; ++t) h.Add(*t);
        break;
    }
    const bool stroked = c.op == Op::DrawLine || c.op == Op::DrawRectangle || c.op == Op::DrawRoundedRectangle ||
                         c.op == Op::DrawEllipse;
    if (stroked) {
      h.Add(c.strokeWidth);
      h.Add(Which(c.stroke, g_roundStroke, nullptr));
    }
  }
}

StageRun RunStage(const StageHooks& hooks) {
  ResetWholeGame();
  StageRun run;
  Hash hash;
  for (int f = 0; f < kStageFrames; ++f) {
    hooks.keys(f);
    if (hooks.before) hooks.before(f);
    ClearSounds();
    Recorder& r = TheRecorder();
    r.BeginFrame();
    const uint64_t allocationsBefore = AllocationsSoFar();
    RenderFrame(r.target);
    const uint64_t made = AllocationsSoFar() - allocationsBefore;
    r.EndFrame();
    if (made > run.worstAllocations) {
      run.worstAllocations = made;
      run.frameOfWorst = f;
    }
    run.hitSounds += SoundsNamed(L"hit");
    run.straySoundCalls += StraySoundCalls();
    const SoundLog& sounds = Sounds();
    for (int i = 0; i < sounds.count && i < 256; ++i) {
      for (const wchar_t* n = sounds.names[i]; *n; ++n) hash.Add(*n);
    }
    if (f % kSampleEvery == 0) {
      hooks.mixState(hash);
      AddCommands(hash, r.Commands());
    }
    if (hooks.after) {
      const std::string fault = hooks.after(f);
      if (!fault.empty()) {
        ADD_FAILURE() << "frame " << f << ": " << fault;
        return run;
      }
    }
  }
  hooks.mixState(hash);
  run.hash = hash.value();
  return run;
}

void ExpectIdenticalReplay(const StageRun& first, void (*keys)(int frame), void (*mixState)(Hash& h)) {
  const StageRun second = RunStage({keys, mixState, nullptr, nullptr});
  EXPECT_EQ(second.hash, first.hash);
  EXPECT_EQ(second.hitSounds, first.hitSounds);
  EXPECT_EQ(second.worstAllocations, 0u) << "first at frame " << second.frameOfWorst;
}

}  // namespace support
