// What the game tests share: the shell's own resources on the platform's
// recording render target, stand-in sound graphs that log each play from the
// start, and whole-state helpers.
#pragma once

#include <d2d1.h>

#include <cstdint>
#include <vector>

#include "vx_testing.h"

// Frames on the shell's render target (g_renderTarget), which records its calls.
struct Recorder {
  ID2D1HwndRenderTarget* target;
  bool drawing;
  // Ends a frame left open, then begins a new one.
  void BeginFrame();
  void EndFrame();
  // The open frame's calls, or the last completed frame's when none is open.
  const std::vector<vxtest::Command>& Commands() const;
};
Recorder& TheRecorder();

// Sounds played from the start (stopped, rewound to 0, run) since the last
// ClearSounds.
struct SoundLog {
  int count;
  const wchar_t* names[256];
};
SoundLog& Sounds();
void ClearSounds();
int SoundsNamed(const wchar_t* name);
// Calls on the sounds' graphs since the last ClearSounds that were not part
// of a play from the start, including a stop or rewind left without its run.
int StraySoundCalls();

// Start-up state, including what InitGameState deliberately leaves alone.
void ResetWholeGame();

// Keys as the window procedure would set them.
void HoldKey(int key, bool down);

// One full frame as the paint path runs it: the game, then the hit flashes.
void RunPaintFrame();

struct Segment {
  float x0, y0, x1, y1;
  uint32_t rgb;  // the brush colour, 8 bits a channel
};
// Each glow stroke of the frame once, in drawing order.
std::vector<Segment> GlowSegments(const std::vector<vxtest::Command>& commands);
std::vector<vxtest::Command> OfKind(const std::vector<vxtest::Command>& commands, vxtest::Op op);
bool SameRect(const D2D1_RECT_F& a, float l, float t, float r, float b, float tolerance = 0.0f);
