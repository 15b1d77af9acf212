// What the game tests share: a render target that records calls as
// vxtest::Command data, stand-ins for the shell's resources, a log of the
// sounds played, and whole-state helpers.
#pragma once

#include <d2d1.h>

#include <cstdint>
#include <vector>

#include "vx_testing.h"

// The frame's recorded calls since the last BeginFrame.
struct Recorder {
  ID2D1HwndRenderTarget* target;
  void BeginFrame();
  void EndFrame();
  const std::vector<vxtest::Command>& Commands() const;
};
Recorder& TheRecorder();

// Sounds played through DShowHLP::PlayFromStart since the last ClearSounds.
struct SoundLog {
  int count;
  const wchar_t* names[256];
};
SoundLog& Sounds();
void ClearSounds();
int SoundsNamed(const wchar_t* name);

// The bitmaps and format the shell would have made; identity is what matters.
ID2D1Bitmap* SpriteSheet();
ID2D1Bitmap* Background();
IDWriteTextFormat* LargeText();

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
