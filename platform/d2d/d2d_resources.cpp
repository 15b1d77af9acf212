// Direct2D factory and the target-independent and bitmap resources.
#include <wincodec.h>

#include <algorithm>
#include <cmath>
#include <new>

#include "d2d/d2d_internal.h"

namespace vxd2d {

namespace {

void ReturnFactory(const VxRef<ID2D1Factory>& held, ID2D1Factory** out) {
  if (!out) return;
  *out = held.get();
  if (*out) (*out)->AddRef();
}

VxRef<ID2D1Factory> Hold(ID2D1Factory* f) {
  if (f) f->AddRef();
  return VxRef<ID2D1Factory>(f);
}

}  // namespace

void Factory::GetDesktopDpi(FLOAT* dpiX, FLOAT* dpiY) {
  if (dpiX) *dpiX = 96.0f;
  if (dpiY) *dpiY = 96.0f;
}

HRESULT Factory::CreateStrokeStyle(const D2D1_STROKE_STYLE_PROPERTIES* properties, const FLOAT* dashes,
                                   UINT32 dashesCount, ID2D1StrokeStyle** strokeStyle) {
  if (!strokeStyle) return E_POINTER;
  *strokeStyle = nullptr;
  if (!properties || (dashesCount && !dashes)) return E_INVALIDARG;
  if ((dashesCount != 0) != (properties->dashStyle == D2D1_DASH_STYLE_CUSTOM)) return E_INVALIDARG;
  *strokeStyle = new (std::nothrow) StrokeStyle(this, *properties, dashes, dashesCount);
  return *strokeStyle ? S_OK : E_OUTOFMEMORY;
}

HRESULT Factory::CreateHwndRenderTarget(const D2D1_RENDER_TARGET_PROPERTIES* properties,
                                        const D2D1_HWND_RENDER_TARGET_PROPERTIES* hwndProperties,
                                        ID2D1HwndRenderTarget** target) {
  if (!target) return E_POINTER;
  *target = nullptr;
  if (!properties || !hwndProperties) return E_INVALIDARG;
  HRESULT injected = TakeCreationFailure();
  if (FAILED(injected)) return injected;
  UINT w = hwndProperties->pixelSize.width, h = hwndProperties->pixelSize.height;
  if (w > kMaxBitmapSide || h > kMaxBitmapSide) return D2DERR_MAX_TEXTURE_SIZE_EXCEEDED;
  if (RecordingTargetsOn()) return CreateRecordingTarget(this, hwndProperties->hwnd, w, h, target);
  return CreateGlTarget(this, hwndProperties->hwnd, w, h, target);
}

StrokeStyle::StrokeStyle(ID2D1Factory* factory, const D2D1_STROKE_STYLE_PROPERTIES& p, const FLOAT* dashes,
                         UINT32 count)
    : factory_(Hold(factory)), props_(p), dashes_(dashes, dashes + count) {}

void StrokeStyle::GetFactory(ID2D1Factory** factory) const { ReturnFactory(factory_, factory); }

SolidBrush::SolidBrush(ID2D1Factory* factory, const D2D1_COLOR_F& color, const D2D1_BRUSH_PROPERTIES* p)
    : color_(color), factory_(Hold(factory)), transform_{1, 0, 0, 1, 0, 0} {
  if (p) {
    opacity_ = p->opacity;
    transform_ = p->transform;
  }
}

void SolidBrush::GetFactory(ID2D1Factory** factory) const { ReturnFactory(factory_, factory); }

GradientStops::GradientStops(ID2D1Factory* factory, const D2D1_GRADIENT_STOP* stops, UINT32 count,
                             D2D1_GAMMA gamma, D2D1_EXTEND_MODE extend)
    : factory_(Hold(factory)), stops_(stops, stops + count), gamma_(gamma), extend_(extend) {
  std::stable_sort(stops_.begin(), stops_.end(),
                   [](const D2D1_GRADIENT_STOP& a, const D2D1_GRADIENT_STOP& b) { return a.position < b.position; });
  // Interpolation runs on premultiplied colours; gamma 1.0 interpolates in
  // linear light and returns to the stored encoding afterwards.
  const bool linearLight = gamma == D2D1_GAMMA_1_0;
  auto decode = [&](float v) { return linearLight ? std::pow(std::max(v, 0.0f), 2.2f) : v; };
  auto encode = [&](float v) { return linearLight ? std::pow(std::max(v, 0.0f), 1.0f / 2.2f) : v; };
  ramp_.assign(kRampSize * 4, 0.0f);
  for (int i = 0; i < kRampSize && !stops_.empty(); ++i) {
    float t = static_cast<float>(i) / (kRampSize - 1);
    size_t hi = 0;
    while (hi < stops_.size() && stops_[hi].position < t) ++hi;
    const D2D1_GRADIENT_STOP& a = stops_[hi == 0 ? 0 : hi - 1];
    const D2D1_GRADIENT_STOP& b = stops_[hi == stops_.size() ? hi - 1 : hi];
    float span = b.position - a.position;
    float f = span > 0.0f ? (t - a.position) / span : 0.0f;
    f = std::min(1.0f, std::max(0.0f, f));
    float alpha = a.color.a + (b.color.a - a.color.a) * f;
    const float ca[3] = {a.color.r, a.color.g, a.color.b};
    const float cb[3] = {b.color.r, b.color.g, b.color.b};
    for (int c = 0; c < 3; ++c) {
      float pa = decode(ca[c]) * a.color.a, pb = decode(cb[c]) * b.color.a;
      float premul = pa + (pb - pa) * f;
      float straight = alpha > 0.0f ? premul / alpha : 0.0f;
      ramp_[i * 4 + c] = encode(straight) * alpha;
    }
    ramp_[i * 4 + 3] = alpha;
  }
}

GradientStops::~GradientStops() { ReleaseGlTexture(glTexture); }

void GradientStops::GetFactory(ID2D1Factory** factory) const { ReturnFactory(factory_, factory); }

void GradientStops::GetGradientStops(D2D1_GRADIENT_STOP* stops, UINT32 count) const {
  if (!stops) return;
  for (UINT32 i = 0; i < count && i < stops_.size(); ++i) stops[i] = stops_[i];
}

LinearGradientBrush::LinearGradientBrush(ID2D1Factory* factory, const D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES& p,
                                         const D2D1_BRUSH_PROPERTIES* bp, GradientStops* stops)
    : factory_(Hold(factory)), start_(p.startPoint), end_(p.endPoint), transform_{1, 0, 0, 1, 0, 0} {
  stops->AddRef();
  stops_.reset(stops);
  if (bp) {
    opacity_ = bp->opacity;
    transform_ = bp->transform;
  }
}

void LinearGradientBrush::GetFactory(ID2D1Factory** factory) const { ReturnFactory(factory_, factory); }

void LinearGradientBrush::GetGradientStopCollection(ID2D1GradientStopCollection** collection) const {
  if (!collection) return;
  *collection = stops_.get();
  stops_->AddRef();
}

void LinearGradientBrush::Parameter(float* ax, float* ay, float* c) const {
  const D2D1_MATRIX_3X2_F& m = transform_;
  float dx = end_.x - start_.x, dy = end_.y - start_.y;
  float len2 = dx * dx + dy * dy;
  float det = m._11 * m._22 - m._12 * m._21;
  if (len2 <= 0.0f || det == 0.0f) {
    *ax = *ay = *c = 0.0f;
    return;
  }
  // Brush space is the user space seen through the inverse of the brush transform.
  float i11 = m._22 / det, i12 = -m._12 / det, i21 = -m._21 / det, i22 = m._11 / det;
  float i31 = -(m._31 * i11 + m._32 * i21), i32 = -(m._31 * i12 + m._32 * i22);
  float ux = dx / len2, uy = dy / len2;
  *ax = i11 * ux + i12 * uy;
  *ay = i21 * ux + i22 * uy;
  *c = (i31 - start_.x) * ux + (i32 - start_.y) * uy;
}

D2D1_COLOR_F LinearGradientBrush::ColorAt(float t) const {
  switch (stops_->GetExtendMode()) {
    case D2D1_EXTEND_MODE_WRAP: t = t - std::floor(t); break;
    case D2D1_EXTEND_MODE_MIRROR: {
      float m = std::fmod(std::fabs(t), 2.0f);
      t = m > 1.0f ? 2.0f - m : m;
      break;
    }
    default: break;
  }
  t = std::min(1.0f, std::max(0.0f, t));
  int i = static_cast<int>(std::lround(t * (GradientStops::kRampSize - 1)));
  const float* r = stops_->ramp() + i * 4;
  return D2D1_COLOR_F{r[0], r[1], r[2], r[3]};
}

Bitmap::Bitmap(ID2D1Factory* factory, UINT width, UINT height, std::vector<uint8_t>&& bgra, float dpiX, float dpiY)
    : factory_(Hold(factory)), width_(width), height_(height), bgra_(std::move(bgra)), dpiX_(dpiX), dpiY_(dpiY) {}

Bitmap::~Bitmap() { ReleaseGlTexture(glTexture); }

void Bitmap::GetFactory(ID2D1Factory** factory) const { ReturnFactory(factory_, factory); }

D2D1_SIZE_F Bitmap::GetSize() const {
  return D2D1_SIZE_F{width_ * 96.0f / dpiX_, height_ * 96.0f / dpiY_};
}

HRESULT CheckBitmapSource(IWICBitmapSource* source, const D2D1_BITMAP_PROPERTIES* properties,
                          BitmapSourceInfo* info) {
  if (!source) return E_INVALIDARG;
  WICPixelFormatGUID format{};
  HRESULT hr = source->GetPixelFormat(&format);
  if (FAILED(hr)) return hr;
  if (!IsEqualGUID(format, GUID_WICPixelFormat32bppPBGRA)) return D2DERR_UNSUPPORTED_PIXEL_FORMAT;
  if (properties && properties->pixelFormat.format != DXGI_FORMAT_UNKNOWN &&
      properties->pixelFormat.format != DXGI_FORMAT_B8G8R8A8_UNORM)
    return D2DERR_UNSUPPORTED_PIXEL_FORMAT;
  UINT w = 0, h = 0;
  hr = source->GetSize(&w, &h);
  if (FAILED(hr)) return hr;
  if (w > kMaxBitmapSide || h > kMaxBitmapSide) return D2DERR_MAX_TEXTURE_SIZE_EXCEEDED;
  info->width = w;
  info->height = h;
  info->dpiX = info->dpiY = 96.0f;
  if (properties && properties->dpiX > 0.0f && properties->dpiY > 0.0f) {
    info->dpiX = properties->dpiX;
    info->dpiY = properties->dpiY;
  }
  return S_OK;
}

HRESULT CreateBitmapFromSource(ID2D1Factory* factory, IWICBitmapSource* source,
                               const D2D1_BITMAP_PROPERTIES* properties, ID2D1Bitmap** bitmap) {
  if (!bitmap) return E_POINTER;
  *bitmap = nullptr;
  BitmapSourceInfo info;
  HRESULT hr = CheckBitmapSource(source, properties, &info);
  if (FAILED(hr)) return hr;
  const UINT w = info.width, h = info.height;
  std::vector<uint8_t> pixels;
  try {
    pixels.resize(static_cast<size_t>(w) * h * 4);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (!pixels.empty()) {
    hr = source->CopyPixels(nullptr, w * 4, static_cast<UINT>(pixels.size()), pixels.data());
    if (FAILED(hr)) return hr;
  }
  *bitmap = new (std::nothrow) Bitmap(factory, w, h, std::move(pixels), info.dpiX, info.dpiY);
  return *bitmap ? S_OK : E_OUTOFMEMORY;
}

}  // namespace vxd2d

HRESULT WINAPI D2D1CreateFactory(D2D1_FACTORY_TYPE factoryType, REFIID riid,
                                 const D2D1_FACTORY_OPTIONS* /*factoryOptions*/, void** factory) {
  if (!factory) return E_POINTER;
  *factory = nullptr;
  if (factoryType != D2D1_FACTORY_TYPE_SINGLE_THREADED && factoryType != D2D1_FACTORY_TYPE_MULTI_THREADED)
    return E_INVALIDARG;
  auto* made = new (std::nothrow) vxd2d::Factory(factoryType == D2D1_FACTORY_TYPE_MULTI_THREADED);
  if (!made) return E_OUTOFMEMORY;
  HRESULT hr = made->QueryInterface(riid, factory);
  made->Release();
  return hr;
}

void WINAPI D2D1MakeRotateMatrix(FLOAT angle, D2D1_POINT_2F center, D2D1_MATRIX_3X2_F* matrix) {
  if (!matrix) return;
  const double theta = static_cast<double>(angle) * 3.14159265358979323846 / 180.0;
  const float c = static_cast<float>(std::cos(theta)), s = static_cast<float>(std::sin(theta));
  // Rotation about center: translate to the origin, rotate, translate back.
  matrix->_11 = c;
  matrix->_12 = s;
  matrix->_21 = -s;
  matrix->_22 = c;
  matrix->_31 = center.x - center.x * c + center.y * s;
  matrix->_32 = center.y - center.x * s - center.y * c;
}
