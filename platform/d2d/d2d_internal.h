// Direct2D family internals: resource classes shared by the recording and
// the OpenGL render targets.
#pragma once
#include <d2d1.h>
#include <dwrite.h>

#include <cstdint>
#include <typeinfo>
#include <vector>

#include "vx_com.h"

namespace vxd2d {

// Our object behind an interface pointer, or null. Our classes are final, so
// an exact type match suffices: cheaper than dynamic_cast on the paths that
// run for every drawing call.
template <class T, class I> T* OurObject(I* p) {
  return p && typeid(*p) == typeid(T) ? static_cast<T*>(p) : nullptr;
}

struct GlTexture;  // owned by the OpenGL renderer

// Not in the public header: no usable OpenGL 3.3 device behind the window.
constexpr HRESULT kNoHardwareDevice = VX_HR(0x8899000Bu);
constexpr UINT kMaxBitmapSide = 16384;

class Factory final : public VxComObject<ID2D1Factory> {
 public:
  explicit Factory(bool multiThreaded) : multiThreaded_(multiThreaded) {}
  HRESULT STDMETHODCALLTYPE ReloadSystemMetrics() override { return S_OK; }
  void STDMETHODCALLTYPE GetDesktopDpi(FLOAT* dpiX, FLOAT* dpiY) override;
  HRESULT STDMETHODCALLTYPE CreateStrokeStyle(const D2D1_STROKE_STYLE_PROPERTIES* properties, const FLOAT* dashes,
                                              UINT32 dashesCount, ID2D1StrokeStyle** strokeStyle) override;
  HRESULT STDMETHODCALLTYPE CreateHwndRenderTarget(const D2D1_RENDER_TARGET_PROPERTIES* properties,
                                                   const D2D1_HWND_RENDER_TARGET_PROPERTIES* hwndProperties,
                                                   ID2D1HwndRenderTarget** target) override;
  bool multiThreaded() const { return multiThreaded_; }

 private:
  bool multiThreaded_;
};

class StrokeStyle final : public VxComObject<ID2D1StrokeStyle, ID2D1Resource> {
 public:
  StrokeStyle(ID2D1Factory* factory, const D2D1_STROKE_STYLE_PROPERTIES& p, const FLOAT* dashes, UINT32 count);
  void STDMETHODCALLTYPE GetFactory(ID2D1Factory** factory) const override;
  D2D1_CAP_STYLE STDMETHODCALLTYPE GetStartCap() const override { return props_.startCap; }
  D2D1_CAP_STYLE STDMETHODCALLTYPE GetEndCap() const override { return props_.endCap; }
  D2D1_CAP_STYLE STDMETHODCALLTYPE GetDashCap() const override { return props_.dashCap; }
  FLOAT STDMETHODCALLTYPE GetMiterLimit() const override { return props_.miterLimit; }
  D2D1_LINE_JOIN STDMETHODCALLTYPE GetLineJoin() const override { return props_.lineJoin; }
  FLOAT STDMETHODCALLTYPE GetDashOffset() const override { return props_.dashOffset; }
  D2D1_DASH_STYLE STDMETHODCALLTYPE GetDashStyle() const override { return props_.dashStyle; }

 private:
  VxRef<ID2D1Factory> factory_;
  D2D1_STROKE_STYLE_PROPERTIES props_;
  std::vector<float> dashes_;
};

class SolidBrush final : public VxComObject<ID2D1SolidColorBrush, ID2D1Brush, ID2D1Resource> {
 public:
  SolidBrush(ID2D1Factory* factory, const D2D1_COLOR_F& color, const D2D1_BRUSH_PROPERTIES* p);
  void STDMETHODCALLTYPE GetFactory(ID2D1Factory** factory) const override;
  void STDMETHODCALLTYPE SetOpacity(FLOAT opacity) override { opacity_ = opacity; }
  void STDMETHODCALLTYPE SetTransform(const D2D1_MATRIX_3X2_F* transform) override {
    if (transform) transform_ = *transform;
  }
  FLOAT STDMETHODCALLTYPE GetOpacity() const override { return opacity_; }
  void STDMETHODCALLTYPE GetTransform(D2D1_MATRIX_3X2_F* transform) const override {
    if (transform) *transform = transform_;
  }
  void STDMETHODCALLTYPE SetColor(const D2D1_COLOR_F* color) override {
    if (color) color_ = *color;
  }
  D2D1_COLOR_F STDMETHODCALLTYPE GetColor() const override { return color_; }
  using ID2D1SolidColorBrush::SetColor;
  using ID2D1Brush::SetTransform;

  D2D1_COLOR_F color_;
  float opacity_ = 1.0f;

 private:
  VxRef<ID2D1Factory> factory_;
  D2D1_MATRIX_3X2_F transform_;
};

class GradientStops final : public VxComObject<ID2D1GradientStopCollection, ID2D1Resource> {
 public:
  GradientStops(ID2D1Factory* factory, const D2D1_GRADIENT_STOP* stops, UINT32 count, D2D1_GAMMA gamma,
                D2D1_EXTEND_MODE extend);
  void STDMETHODCALLTYPE GetFactory(ID2D1Factory** factory) const override;
  UINT32 STDMETHODCALLTYPE GetGradientStopCount() const override { return static_cast<UINT32>(stops_.size()); }
  void STDMETHODCALLTYPE GetGradientStops(D2D1_GRADIENT_STOP* stops, UINT32 count) const override;
  D2D1_GAMMA STDMETHODCALLTYPE GetColorInterpolationGamma() const override { return gamma_; }
  D2D1_EXTEND_MODE STDMETHODCALLTYPE GetExtendMode() const override { return extend_; }

  // The gradient sampled at kRampSize evenly spaced positions, premultiplied
  // RGBA floats (channels above 1.0 kept).
  static constexpr int kRampSize = 256;
  const float* ramp() const { return ramp_.data(); }
  ~GradientStops() override;

  // The OpenGL texture of the ramp, made by the renderer on first use.
  GlTexture* glTexture = nullptr;

 private:
  VxRef<ID2D1Factory> factory_;
  std::vector<D2D1_GRADIENT_STOP> stops_;
  D2D1_GAMMA gamma_;
  D2D1_EXTEND_MODE extend_;
  std::vector<float> ramp_;
};

class LinearGradientBrush final : public VxComObject<ID2D1LinearGradientBrush, ID2D1Brush, ID2D1Resource> {
 public:
  LinearGradientBrush(ID2D1Factory* factory, const D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES& p,
                      const D2D1_BRUSH_PROPERTIES* bp, GradientStops* stops);
  void STDMETHODCALLTYPE GetFactory(ID2D1Factory** factory) const override;
  void STDMETHODCALLTYPE SetOpacity(FLOAT opacity) override { opacity_ = opacity; }
  void STDMETHODCALLTYPE SetTransform(const D2D1_MATRIX_3X2_F* transform) override {
    if (transform) transform_ = *transform;
  }
  FLOAT STDMETHODCALLTYPE GetOpacity() const override { return opacity_; }
  void STDMETHODCALLTYPE GetTransform(D2D1_MATRIX_3X2_F* transform) const override {
    if (transform) *transform = transform_;
  }
  void STDMETHODCALLTYPE SetStartPoint(D2D1_POINT_2F p) override { start_ = p; }
  void STDMETHODCALLTYPE SetEndPoint(D2D1_POINT_2F p) override { end_ = p; }
  D2D1_POINT_2F STDMETHODCALLTYPE GetStartPoint() const override { return start_; }
  D2D1_POINT_2F STDMETHODCALLTYPE GetEndPoint() const override { return end_; }
  void STDMETHODCALLTYPE GetGradientStopCollection(ID2D1GradientStopCollection** collection) const override;
  using ID2D1Brush::SetTransform;

  GradientStops* stops() const { return stops_.get(); }
  // t(p) = a.x * p.x + a.y * p.y + c over user-space points p.
  void Parameter(float* ax, float* ay, float* c) const;
  // The colour at parameter t, as the ramp holds it (premultiplied).
  D2D1_COLOR_F ColorAt(float t) const;

 private:
  VxRef<ID2D1Factory> factory_;
  VxRef<GradientStops> stops_;
  D2D1_POINT_2F start_, end_;
  float opacity_ = 1.0f;
  D2D1_MATRIX_3X2_F transform_;
};

class Bitmap final : public VxComObject<ID2D1Bitmap, ID2D1Resource> {
 public:
  Bitmap(ID2D1Factory* factory, UINT width, UINT height, std::vector<uint8_t>&& bgra, float dpiX, float dpiY);
  ~Bitmap() override;
  void STDMETHODCALLTYPE GetFactory(ID2D1Factory** factory) const override;
  D2D1_SIZE_F STDMETHODCALLTYPE GetSize() const override;
  D2D1_SIZE_U STDMETHODCALLTYPE GetPixelSize() const override { return D2D1_SIZE_U{width_, height_}; }
  D2D1_PIXEL_FORMAT STDMETHODCALLTYPE GetPixelFormat() const override {
    return D2D1_PIXEL_FORMAT{DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED};
  }
  void STDMETHODCALLTYPE GetDpi(FLOAT* dpiX, FLOAT* dpiY) const override {
    if (dpiX) *dpiX = dpiX_;
    if (dpiY) *dpiY = dpiY_;
  }

  UINT width() const { return width_; }
  UINT height() const { return height_; }
  // The processor's copy of the pixels: kept by bitmaps of recording
  // targets only. A bitmap of an OpenGL target holds its pixels in its
  // texture alone (empty here).
  const std::vector<uint8_t>& pixels() const { return bgra_; }

  // The OpenGL texture, made with the bitmap on an OpenGL target (or by the
  // renderer on first use, from the copy).
  GlTexture* glTexture = nullptr;

 private:
  VxRef<ID2D1Factory> factory_;
  UINT width_, height_;
  std::vector<uint8_t> bgra_;
  float dpiX_, dpiY_;
};

// What a bitmap is made from: a 32bpp premultiplied BGRA source of at most
// kMaxBitmapSide a side.
struct BitmapSourceInfo {
  UINT width, height;
  float dpiX, dpiY;
};
HRESULT CheckBitmapSource(IWICBitmapSource* source, const D2D1_BITMAP_PROPERTIES* properties,
                          BitmapSourceInfo* info);

// Reads a 32bpp premultiplied BGRA source into a new bitmap that keeps the
// pixels (recording targets).
HRESULT CreateBitmapFromSource(ID2D1Factory* factory, IWICBitmapSource* source,
                               const D2D1_BITMAP_PROPERTIES* properties, ID2D1Bitmap** bitmap);

// Releases a texture made by the renderer (defined with the renderer).
void ReleaseGlTexture(GlTexture* texture);
// Reads a bitmap's texture back as BGRA, top row first (for the test seams).
bool ReadTexture(GlTexture* texture, std::vector<uint8_t>& bgra);

// What both render targets share: resource creation, state and the
// BeginDraw/EndDraw protocol. Subclasses receive validated drawing calls.
class TargetBase : public VxComObject<ID2D1HwndRenderTarget, ID2D1RenderTarget, ID2D1Resource> {
 public:
  TargetBase(ID2D1Factory* factory, HWND hwnd, UINT width, UINT height);
  ~TargetBase() override;

  void STDMETHODCALLTYPE GetFactory(ID2D1Factory** factory) const override;
  HRESULT STDMETHODCALLTYPE CreateBitmapFromWicBitmap(IWICBitmapSource* source,
                                                      const D2D1_BITMAP_PROPERTIES* properties,
                                                      ID2D1Bitmap** bitmap) override;
  HRESULT STDMETHODCALLTYPE CreateSolidColorBrush(const D2D1_COLOR_F* color, const D2D1_BRUSH_PROPERTIES* properties,
                                                  ID2D1SolidColorBrush** brush) override;
  HRESULT STDMETHODCALLTYPE CreateGradientStopCollection(const D2D1_GRADIENT_STOP* stops, UINT32 count,
                                                         D2D1_GAMMA gamma, D2D1_EXTEND_MODE extend,
                                                         ID2D1GradientStopCollection** collection) override;
  HRESULT STDMETHODCALLTYPE CreateLinearGradientBrush(const D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES* properties,
                                                      const D2D1_BRUSH_PROPERTIES* brushProperties,
                                                      ID2D1GradientStopCollection* stops,
                                                      ID2D1LinearGradientBrush** brush) override;
  void STDMETHODCALLTYPE DrawLine(D2D1_POINT_2F p0, D2D1_POINT_2F p1, ID2D1Brush* brush, FLOAT strokeWidth,
                                  ID2D1StrokeStyle* strokeStyle) override;
  void STDMETHODCALLTYPE DrawRectangle(const D2D1_RECT_F* rect, ID2D1Brush* brush, FLOAT strokeWidth,
                                       ID2D1StrokeStyle* strokeStyle) override;
  void STDMETHODCALLTYPE FillRectangle(const D2D1_RECT_F* rect, ID2D1Brush* brush) override;
  void STDMETHODCALLTYPE DrawRoundedRectangle(const D2D1_ROUNDED_RECT* rounded, ID2D1Brush* brush,
                                              FLOAT strokeWidth, ID2D1StrokeStyle* strokeStyle) override;
  void STDMETHODCALLTYPE DrawEllipse(const D2D1_ELLIPSE* ellipse, ID2D1Brush* brush, FLOAT strokeWidth,
                                     ID2D1StrokeStyle* strokeStyle) override;
  void STDMETHODCALLTYPE FillEllipse(const D2D1_ELLIPSE* ellipse, ID2D1Brush* brush) override;
  void STDMETHODCALLTYPE DrawBitmap(ID2D1Bitmap* bitmap, const D2D1_RECT_F* destination, FLOAT opacity,
                                    D2D1_BITMAP_INTERPOLATION_MODE interpolation,
                                    const D2D1_RECT_F* source) override;
  void STDMETHODCALLTYPE DrawText(const WCHAR* text, UINT32 length, IDWriteTextFormat* format,
                                  const D2D1_RECT_F* layout, ID2D1Brush* brush, D2D1_DRAW_TEXT_OPTIONS options,
                                  DWRITE_MEASURING_MODE measuring) override;
  void STDMETHODCALLTYPE SetTransform(const D2D1_MATRIX_3X2_F* transform) override;
  void STDMETHODCALLTYPE GetTransform(D2D1_MATRIX_3X2_F* transform) const override {
    if (transform) *transform = transform_;
  }
  void STDMETHODCALLTYPE SetAntialiasMode(D2D1_ANTIALIAS_MODE mode) override { antialias_ = mode; }
  D2D1_ANTIALIAS_MODE STDMETHODCALLTYPE GetAntialiasMode() const override { return antialias_; }
  void STDMETHODCALLTYPE Clear(const D2D1_COLOR_F* color) override;
  void STDMETHODCALLTYPE BeginDraw() override;
  HRESULT STDMETHODCALLTYPE EndDraw(D2D1_TAG* tag1, D2D1_TAG* tag2) override;
  D2D1_SIZE_F STDMETHODCALLTYPE GetSize() const override {
    return D2D1_SIZE_F{static_cast<float>(width_), static_cast<float>(height_)};
  }
  D2D1_SIZE_U STDMETHODCALLTYPE GetPixelSize() const override { return D2D1_SIZE_U{width_, height_}; }
  D2D1_WINDOW_STATE STDMETHODCALLTYPE CheckWindowState() override { return D2D1_WINDOW_STATE_NONE; }
  HRESULT STDMETHODCALLTYPE Resize(const D2D1_SIZE_U* size) override;
  HWND STDMETHODCALLTYPE GetHwnd() const override { return hwnd_; }
  using ID2D1RenderTarget::Clear;
  using ID2D1RenderTarget::DrawBitmap;
  using ID2D1RenderTarget::DrawEllipse;
  using ID2D1RenderTarget::DrawRectangle;
  using ID2D1RenderTarget::DrawRoundedRectangle;
  using ID2D1RenderTarget::DrawText;
  using ID2D1RenderTarget::FillEllipse;
  using ID2D1RenderTarget::FillRectangle;
  using ID2D1RenderTarget::SetTransform;

  bool failNextEndDraw = false;
  uint64_t framesEnded = 0;  // BeginDraw/EndDraw pairs completed

 protected:
  // Validated drawing calls, between BeginDraw and EndDraw, brush non-null.
  virtual void OnBegin() = 0;
  virtual HRESULT OnEnd() = 0;  // the frame's outcome
  virtual void OnClear(const D2D1_COLOR_F& color) = 0;
  virtual void OnLine(D2D1_POINT_2F p0, D2D1_POINT_2F p1, ID2D1Brush* brush, float width,
                      ID2D1StrokeStyle* stroke) = 0;
  virtual void OnRect(const D2D1_RECT_F& rect, ID2D1Brush* brush, float width, ID2D1StrokeStyle* stroke,
                      bool fill) = 0;
  virtual void OnRounded(const D2D1_ROUNDED_RECT& rounded, ID2D1Brush* brush, float width,
                         ID2D1StrokeStyle* stroke) = 0;
  virtual void OnEllipse(const D2D1_ELLIPSE& ellipse, ID2D1Brush* brush, float width, ID2D1StrokeStyle* stroke,
                         bool fill) = 0;
  virtual void OnBitmap(Bitmap* bitmap, const D2D1_RECT_F& destination, float opacity,
                        D2D1_BITMAP_INTERPOLATION_MODE interpolation, const D2D1_RECT_F* source) = 0;
  virtual void OnText(const WCHAR* text, UINT32 length, IDWriteTextFormat* format, const D2D1_RECT_F& layout,
                      ID2D1Brush* brush) = 0;
  virtual void OnTransform() {}
  // Makes a bitmap from a source for this target; by default one that keeps its pixels.
  virtual HRESULT MakeBitmap(IWICBitmapSource* source, const D2D1_BITMAP_PROPERTIES* properties,
                             ID2D1Bitmap** bitmap) {
    return CreateBitmapFromSource(factory_.get(), source, properties, bitmap);
  }

  // Between BeginDraw and EndDraw.
  bool InFrame() const { return drawing_; }

  VxRef<ID2D1Factory> factory_;
  HWND hwnd_;
  UINT width_, height_;
  D2D1_MATRIX_3X2_F transform_;
  D2D1_ANTIALIAS_MODE antialias_ = D2D1_ANTIALIAS_MODE_PER_PRIMITIVE;

 private:
  bool Drawing();
  bool drawing_ = false;
  bool misuse_ = false;  // a call out of order since BeginDraw: EndDraw reports it
};

// The targets the factory makes.
HRESULT CreateRecordingTarget(ID2D1Factory* factory, HWND hwnd, UINT width, UINT height,
                              ID2D1HwndRenderTarget** target);
HRESULT CreateGlTarget(ID2D1Factory* factory, HWND hwnd, UINT width, UINT height, ID2D1HwndRenderTarget** target);

// Test seams' shared state.
bool RecordingTargetsOn();
HRESULT TakeCreationFailure();

}  // namespace vxd2d
