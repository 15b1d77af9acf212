// Test seams of the Linux platform layer: for tests and benchmarks, never for
// the game. Linux only.
#pragma once
#include <d2d1.h>
#include <dwrite.h>

#include <cstdint>
#include <vector>

namespace vxtest {

enum class Op {
  Clear,
  DrawLine,
  DrawRectangle,
  FillRectangle,
  DrawRoundedRectangle,
  DrawEllipse,
  FillEllipse,
  DrawBitmap,
  DrawText,
};

// One drawing call as the render target received it. Fields that only some
// calls have share storage (a frame records thousands of these): read the
// ones the call's op names.
struct Command {
  Op op;
  D2D1_COLOR_F color;       // the brush's colour at the call (solid brushes), or Clear's colour
  float brushOpacity;       // the brush's opacity at the call
  union {
    struct {
      D2D1_POINT_2F p0, p1;         // DrawLine
    };
    D2D1_RECT_F rect;               // rectangles; DrawBitmap's destination; DrawText's layout rectangle
    D2D1_ELLIPSE ellipse;
    D2D1_ROUNDED_RECT rounded;      // its rect is also rect
  };
  union {
    struct {                        // stroked shapes
      float strokeWidth;
      ID2D1StrokeStyle* stroke;     // as passed (may be null)
    };
    struct {                        // DrawBitmap
      ID2D1Bitmap* bitmap;
      bool hasSource;
      D2D1_RECT_F source;           // the source rectangle when hasSource
      float opacity;
      D2D1_BITMAP_INTERPOLATION_MODE interpolation;
    };
    struct {                        // DrawText
      IDWriteTextFormat* format;
      DWRITE_TEXT_ALIGNMENT alignment;  // the format's alignment at the call
      UINT32 textLength;                // length as passed
      const WCHAR* text;                // the first 127 units, terminated; kept with the frame
    };
  };
};

// While on, the Direct2D factory's CreateHwndRenderTarget returns render
// targets that record their calls instead of drawing: no window and no
// OpenGL are needed, and the HWND is not looked at. Bitmaps still hold their
// pixels. Recording reuses its storage: once warm a frame allocates nothing.
void UseRecordingTargets(bool on);

// The calls between the last completed BeginDraw and EndDraw on a recording
// target, and those of the frame in progress.
const std::vector<Command>& LastFrame(ID2D1RenderTarget* target);
const std::vector<Command>& CurrentFrame(ID2D1RenderTarget* target);
// Number of completed BeginDraw/EndDraw pairs on one of our render targets.
uint64_t FramesDrawn(ID2D1RenderTarget* target);

// The next EndDraw on this target (recording or real) reports D2DERR_RECREATE_TARGET.
void FailNextEndDraw(ID2D1RenderTarget* target);

// The next CreateHwndRenderTarget fails with this HRESULT (then the seam clears).
void FailNextRenderTargetCreation(HRESULT failure);

// Reads back the picture of the window's last EndDraw as RGBA8, top row
// first, at the picture's own size (600 x 720 for the game). False when the
// window has no real render target, or while a frame is open on it.
bool ReadWindowPixels(HWND hwnd, std::vector<uint8_t>& rgba, int* width, int* height);

// Called with a message box's window once its first frame is drawn, inside
// the box's modal loop (null: nothing is called).
void OnMessageBoxShown(void (*shown)(HWND box));

// How many of the platform's COM objects (factories, targets, brushes,
// bitmaps, formats, frames, graphs...) exist right now.
long LiveComObjects();

// Whether the window has an invalidation waiting to become a WM_PAINT.
bool PaintPending(HWND hwnd);

// Pixels of a bitmap made by CreateBitmapFromWicBitmap, premultiplied BGRA, top row first.
bool ReadBitmapPixels(ID2D1Bitmap* bitmap, std::vector<uint8_t>& bgra, int* width, int* height);

}  // namespace vxtest
