// Glow strokes: the passes of glow.h, all with the one shared brush and
// round caps.
#include "app/glow.h"
#include "app/shell.h"

#include <cmath>

namespace {

D2D1_COLOR_F CoreColor(UINT32 color) {
  return D2D1::ColorF(((color >> 16) & 0xFF) / 255.0f, ((color >> 8) & 0xFF) / 255.0f, (color & 0xFF) / 255.0f,
                      1.0f);
}

// Runs the passes; draw strokes the shape with the brush at a width.
template <class Draw> void GlowPasses(UINT32 color, Draw draw) {
  D2D1_COLOR_F core = CoreColor(color);
  for (const GlowPass& pass : kGlowPasses) {
    g_brush->SetColor(
        D2D1::ColorF(core.r * pass.colorScale, core.g * pass.colorScale, core.b * pass.colorScale, pass.alpha));
    draw(pass.width);
  }
}

}  // namespace

void DrawGlowLine(ID2D1RenderTarget* renderTarget, UINT32 color, const D2D1_POINT_2F& start,
                  const D2D1_POINT_2F& end) {
  GlowPasses(color, [&](float width) { renderTarget->DrawLine(start, end, g_brush, width, g_roundStroke); });
}

void DrawGlowEllipse(ID2D1RenderTarget* renderTarget, UINT32 color, const D2D1_ELLIPSE& ellipse) {
  GlowPasses(color, [&](float width) { renderTarget->DrawEllipse(ellipse, g_brush, width, g_roundStroke); });
}

void DrawGlowRect(ID2D1RenderTarget* renderTarget, UINT32 color, const D2D1_RECT_F& rect) {
  GlowPasses(color, [&](float width) { renderTarget->DrawRectangle(rect, g_brush, width, g_roundStroke); });
}

void DrawGlowRoundedRect(ID2D1RenderTarget* renderTarget, UINT32 color, const D2D1_RECT_F& rect) {
  D2D1_ROUNDED_RECT rounded = D2D1::RoundedRect(rect, 4.0f, 4.0f);
  GlowPasses(color,
             [&](float width) { renderTarget->DrawRoundedRectangle(rounded, g_brush, width, g_roundStroke); });
}

HRESULT CreateFadeGradientBrush(ID2D1RenderTarget* renderTarget, const D2D1_COLOR_F& color,
                                ID2D1LinearGradientBrush** brush) {
  D2D1_GRADIENT_STOP stops[3] = {
      {0.0f, D2D1::ColorF(color.r, color.g, color.b, 0.0f)},
      {0.5f, D2D1::ColorF(color.r, color.g, color.b, 1.0f)},
      {1.0f, D2D1::ColorF(color.r, color.g, color.b, 0.0f)},
  };
  ID2D1GradientStopCollection* collection = NULL;
  HRESULT hr = renderTarget->CreateGradientStopCollection(stops, 3, D2D1_GAMMA_2_2, D2D1_EXTEND_MODE_CLAMP,
                                                          &collection);
  if (FAILED(hr)) return hr;
  hr = renderTarget->CreateLinearGradientBrush(
      D2D1::LinearGradientBrushProperties(D2D1::Point2F(0.0f, 0.0f), D2D1::Point2F(6.0f, 0.0f)),
      D2D1::BrushProperties(1.0f, D2D1::IdentityMatrix()), collection, brush);
  collection->Release();  // the brush holds its own reference
  return FAILED(hr) ? hr : S_OK;
}

void AddPoints(float ax, float ay, float bx, float by, float* outX, float* outY) {
  *outX = ax + bx;
  *outY = ay + by;
}

void SubtractPoints(float ax, float ay, float bx, float by, float* outX, float* outY) {
  *outX = ax - bx;
  *outY = ay - by;
}

void RotatePoint(float* x, float* y, float angleDegrees) {
  D2D1_MATRIX_3X2_F m;
  D2D1MakeRotateMatrix(angleDegrees, D2D1::Point2F(0.0f, 0.0f), &m);
  float oldX = *x;
  float oldY = *y;
  *x = oldX * m._11 + oldY * m._21 + m._31;
  *y = oldX * m._12 + oldY * m._22 + m._32;
}
