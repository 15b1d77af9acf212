// The render-target protocol shared by the OpenGL and the recording
// targets, and the test seams that work on any of our targets: frame counts,
// injected failures, bitmap read-back.
#include <atomic>
#include <new>

#include "d2d/d2d_internal.h"
#include "testing/vx_testing.h"

namespace vxd2d {

namespace {
std::atomic<HRESULT> g_creationFailure{S_OK};
}  // namespace

HRESULT TakeCreationFailure() { return g_creationFailure.exchange(S_OK); }

TargetBase::TargetBase(ID2D1Factory* factory, HWND hwnd, UINT width, UINT height)
    : hwnd_(hwnd), width_(width), height_(height), transform_{1, 0, 0, 1, 0, 0} {
  factory->AddRef();
  factory_.reset(factory);
}

TargetBase::~TargetBase() = default;

void TargetBase::GetFactory(ID2D1Factory** factory) const {
  if (!factory) return;
  *factory = factory_.get();
  (*factory)->AddRef();
}

HRESULT TargetBase::CreateBitmapFromWicBitmap(IWICBitmapSource* source, const D2D1_BITMAP_PROPERTIES* properties,
                                              ID2D1Bitmap** bitmap) {
  return MakeBitmap(source, properties, bitmap);
}

HRESULT TargetBase::CreateSolidColorBrush(const D2D1_COLOR_F* color, const D2D1_BRUSH_PROPERTIES* properties,
                                          ID2D1SolidColorBrush** brush) {
  if (!brush) return E_POINTER;
  *brush = nullptr;
  if (!color) return E_INVALIDARG;
  *brush = new (std::nothrow) SolidBrush(factory_.get(), *color, properties);
  return *brush ? S_OK : E_OUTOFMEMORY;
}

HRESULT TargetBase::CreateGradientStopCollection(const D2D1_GRADIENT_STOP* stops, UINT32 count, D2D1_GAMMA gamma,
                                                 D2D1_EXTEND_MODE extend,
                                                 ID2D1GradientStopCollection** collection) {
  if (!collection) return E_POINTER;
  *collection = nullptr;
  if (!stops || count == 0) return E_INVALIDARG;
  if (gamma != D2D1_GAMMA_2_2 && gamma != D2D1_GAMMA_1_0) return E_INVALIDARG;
  if (extend < D2D1_EXTEND_MODE_CLAMP || extend > D2D1_EXTEND_MODE_MIRROR) return E_INVALIDARG;
  *collection = new (std::nothrow) GradientStops(factory_.get(), stops, count, gamma, extend);
  return *collection ? S_OK : E_OUTOFMEMORY;
}

HRESULT TargetBase::CreateLinearGradientBrush(const D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES* properties,
                                              const D2D1_BRUSH_PROPERTIES* brushProperties,
                                              ID2D1GradientStopCollection* stops,
                                              ID2D1LinearGradientBrush** brush) {
  if (!brush) return E_POINTER;
  *brush = nullptr;
  auto* ours = OurObject<GradientStops>(stops);
  if (!properties || !ours) return E_INVALIDARG;
  *brush = new (std::nothrow) LinearGradientBrush(factory_.get(), *properties, brushProperties, ours);
  return *brush ? S_OK : E_OUTOFMEMORY;
}

bool TargetBase::Drawing() {
  if (!drawing_) misuse_ = true;
  return drawing_;
}

void TargetBase::DrawLine(D2D1_POINT_2F p0, D2D1_POINT_2F p1, ID2D1Brush* brush, FLOAT strokeWidth,
                          ID2D1StrokeStyle* strokeStyle) {
  if (Drawing() && brush) OnLine(p0, p1, brush, strokeWidth, strokeStyle);
}

void TargetBase::DrawRectangle(const D2D1_RECT_F* rect, ID2D1Brush* brush, FLOAT strokeWidth,
                               ID2D1StrokeStyle* strokeStyle) {
  if (Drawing() && brush && rect) OnRect(*rect, brush, strokeWidth, strokeStyle, false);
}

void TargetBase::FillRectangle(const D2D1_RECT_F* rect, ID2D1Brush* brush) {
  if (Drawing() && brush && rect) OnRect(*rect, brush, 0.0f, nullptr, true);
}

void TargetBase::DrawRoundedRectangle(const D2D1_ROUNDED_RECT* rounded, ID2D1Brush* brush, FLOAT strokeWidth,
                                      ID2D1StrokeStyle* strokeStyle) {
  if (Drawing() && brush && rounded) OnRounded(*rounded, brush, strokeWidth, strokeStyle);
}

void TargetBase::DrawEllipse(const D2D1_ELLIPSE* ellipse, ID2D1Brush* brush, FLOAT strokeWidth,
                             ID2D1StrokeStyle* strokeStyle) {
  if (Drawing() && brush && ellipse) OnEllipse(*ellipse, brush, strokeWidth, strokeStyle, false);
}

void TargetBase::FillEllipse(const D2D1_ELLIPSE* ellipse, ID2D1Brush* brush) {
  if (Drawing() && brush && ellipse) OnEllipse(*ellipse, brush, 0.0f, nullptr, true);
}

void TargetBase::DrawBitmap(ID2D1Bitmap* bitmap, const D2D1_RECT_F* destination, FLOAT opacity,
                            D2D1_BITMAP_INTERPOLATION_MODE interpolation, const D2D1_RECT_F* source) {
  if (!Drawing()) return;
  auto* ours = OurObject<Bitmap>(bitmap);
  if (!ours) return;
  D2D1_RECT_F dest;
  if (destination) {
    dest = *destination;
  } else {
    D2D1_SIZE_F size = ours->GetSize();
    dest = D2D1_RECT_F{0.0f, 0.0f, size.width, size.height};
  }
  OnBitmap(ours, dest, opacity, interpolation, source);
}

void TargetBase::DrawText(const WCHAR* text, UINT32 length, IDWriteTextFormat* format, const D2D1_RECT_F* layout,
                          ID2D1Brush* brush, D2D1_DRAW_TEXT_OPTIONS /*options*/,
                          DWRITE_MEASURING_MODE /*measuring*/) {
  if (!Drawing() || !brush || !format || !layout || (!text && length)) return;
  OnText(text, length, format, *layout, brush);
}

void TargetBase::SetTransform(const D2D1_MATRIX_3X2_F* transform) {
  if (!transform) return;
  transform_ = *transform;
  OnTransform();
}

void TargetBase::Clear(const D2D1_COLOR_F* color) {
  if (!Drawing()) return;
  OnClear(color ? *color : D2D1_COLOR_F{0.0f, 0.0f, 0.0f, 0.0f});
}

void TargetBase::BeginDraw() {
  if (drawing_) {
    misuse_ = true;
    return;
  }
  drawing_ = true;
  OnBegin();
}

HRESULT TargetBase::EndDraw(D2D1_TAG* tag1, D2D1_TAG* tag2) {
  if (tag1) *tag1 = 0;
  if (tag2) *tag2 = 0;
  if (!drawing_) return D2DERR_WRONG_STATE;
  drawing_ = false;
  HRESULT hr = OnEnd();
  ++framesEnded;
  bool misused = misuse_;
  misuse_ = false;
  if (failNextEndDraw) {
    failNextEndDraw = false;
    return D2DERR_RECREATE_TARGET;
  }
  if (FAILED(hr)) return hr;
  return misused ? D2DERR_WRONG_STATE : S_OK;
}

HRESULT TargetBase::Resize(const D2D1_SIZE_U* size) {
  // The game's window never changes size; the picture keeps the size it was made with.
  return size ? S_OK : E_INVALIDARG;
}

}  // namespace vxd2d

namespace vxtest {

uint64_t FramesDrawn(ID2D1RenderTarget* target) {
  auto* t = dynamic_cast<vxd2d::TargetBase*>(target);
  return t ? t->framesEnded : 0;
}

void FailNextEndDraw(ID2D1RenderTarget* target) {
  if (auto* t = dynamic_cast<vxd2d::TargetBase*>(target)) t->failNextEndDraw = true;
}

void FailNextRenderTargetCreation(HRESULT failure) { vxd2d::g_creationFailure = failure; }

bool ReadBitmapPixels(ID2D1Bitmap* bitmap, std::vector<uint8_t>& bgra, int* width, int* height) {
  auto* b = dynamic_cast<vxd2d::Bitmap*>(bitmap);
  if (!b) return false;
  if (b->pixels().empty() && b->glTexture) {
    if (!vxd2d::ReadTexture(b->glTexture, bgra)) return false;
  } else {
    bgra = b->pixels();
  }
  if (width) *width = static_cast<int>(b->width());
  if (height) *height = static_cast<int>(b->height());
  return true;
}

}  // namespace vxtest
