// The format converter: reads its source a row at a time on each CopyPixels,
// so it never holds a second copy of the image.
#include <cstring>
#include <new>
#include <vector>

#include "vx_com.h"
#include "wic/vx_wic.h"

namespace {

enum class Src { Gray8, Rgb24, Bgra, Rgba, Pbgra, None };

Src SourceKind(REFWICPixelFormatGUID f) {
  if (f == GUID_WICPixelFormat8bppGray) return Src::Gray8;
  if (f == GUID_WICPixelFormat24bppRGB) return Src::Rgb24;
  if (f == GUID_WICPixelFormat32bppBGRA) return Src::Bgra;
  if (f == GUID_WICPixelFormat32bppRGBA) return Src::Rgba;
  if (f == GUID_WICPixelFormat32bppPBGRA) return Src::Pbgra;
  return Src::None;  // 8bppIndexed too: no palette can be read through IWICPalette here
}

bool IsTarget(REFWICPixelFormatGUID f) {
  return f == GUID_WICPixelFormat32bppPBGRA || f == GUID_WICPixelFormat32bppBGRA;
}

inline uint8_t Premultiply(unsigned c, unsigned a) { return uint8_t((c * a + 127) / 255); }
inline uint8_t Unpremultiply(unsigned c, unsigned a) {
  if (a == 0) return 0;
  unsigned v = (c * 255 + a / 2) / a;
  return uint8_t(v > 255 ? 255 : v);
}

// One row of count pixels from the source's layout to BGRA, premultiplied
// or straight as asked. A template per layout keeps the switch out of the
// per-pixel loop.
template <Src kind>
void ConvertRowOf(bool premultiplied, const uint8_t* s, uint8_t* d, UINT count) {
  for (UINT i = 0; i < count; ++i, d += 4) {
    unsigned b, g, r, a;
    if (kind == Src::Gray8) {
      b = g = r = s[0], a = 255, s += 1;
    } else if (kind == Src::Rgb24) {
      r = s[0], g = s[1], b = s[2], a = 255, s += 3;
    } else if (kind == Src::Rgba) {
      r = s[0], g = s[1], b = s[2], a = s[3], s += 4;
    } else {
      b = s[0], g = s[1], r = s[2], a = s[3], s += 4;
    }
    if (kind == Src::Pbgra && !premultiplied) {
      b = Unpremultiply(b, a), g = Unpremultiply(g, a), r = Unpremultiply(r, a);
    } else if (kind != Src::Pbgra && premultiplied && a != 255) {
      b = Premultiply(b, a), g = Premultiply(g, a), r = Premultiply(r, a);
    }
    d[0] = uint8_t(b), d[1] = uint8_t(g), d[2] = uint8_t(r), d[3] = uint8_t(a);
  }
}

void ConvertRow(Src kind, bool premultiplied, const uint8_t* s, uint8_t* d, UINT count) {
  switch (kind) {
    case Src::Gray8: return ConvertRowOf<Src::Gray8>(premultiplied, s, d, count);
    case Src::Rgb24: return ConvertRowOf<Src::Rgb24>(premultiplied, s, d, count);
    case Src::Rgba: return ConvertRowOf<Src::Rgba>(premultiplied, s, d, count);
    case Src::Bgra: return ConvertRowOf<Src::Bgra>(premultiplied, s, d, count);
    case Src::Pbgra: return ConvertRowOf<Src::Pbgra>(premultiplied, s, d, count);
    case Src::None: return;
  }
}

class FormatConverter : public VxComObject<IWICFormatConverter, IWICBitmapSource> {
 public:
  HRESULT STDMETHODCALLTYPE Initialize(IWICBitmapSource* source, REFWICPixelFormatGUID dstFormat,
                                       WICBitmapDitherType /*dither*/, IWICPalette* /*palette*/,
                                       double alphaThresholdPercent,
                                       WICBitmapPaletteType /*paletteTranslate*/) override {
    // Dither, palette and threshold only matter for indexed targets, which
    // are not offered.
    if (source_) return WINCODEC_ERR_WRONGSTATE;
    if (!source) return E_INVALIDARG;
    if (!(alphaThresholdPercent >= 0.0 && alphaThresholdPercent <= 100.0)) return E_INVALIDARG;
    GUID srcFormat;
    HRESULT hr = source->GetPixelFormat(&srcFormat);
    if (FAILED(hr)) return hr;
    if (!IsTarget(dstFormat) || SourceKind(srcFormat) == Src::None) return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    UINT w = 0, h = 0;
    hr = source->GetSize(&w, &h);
    if (FAILED(hr)) return hr;
    if ((unsigned long long)w * 4 > 0xFFFFFFFFull) return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
    kind_ = SourceKind(srcFormat);
    premultiplied_ = dstFormat == GUID_WICPixelFormat32bppPBGRA;
    format_ = dstFormat;
    width_ = w;
    height_ = h;
    source->AddRef();
    source_.reset(source);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE CanConvert(REFWICPixelFormatGUID srcFormat, REFWICPixelFormatGUID dstFormat,
                                       BOOL* canConvert) override {
    if (!canConvert) return E_INVALIDARG;
    *canConvert = SourceKind(srcFormat) != Src::None && IsTarget(dstFormat);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override {
    if (!width || !height) return E_INVALIDARG;
    if (!source_) return WINCODEC_ERR_NOTINITIALIZED;
    *width = width_;
    *height = height_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* pixelFormat) override {
    if (!pixelFormat) return E_INVALIDARG;
    if (!source_) return WINCODEC_ERR_NOTINITIALIZED;
    *pixelFormat = format_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetResolution(double* dpiX, double* dpiY) override {
    if (!dpiX || !dpiY) return E_INVALIDARG;
    if (!source_) return WINCODEC_ERR_NOTINITIALIZED;
    return source_->GetResolution(dpiX, dpiY);
  }
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override {
    return source_ ? VX_HR(0x88982F45u) /* palette unavailable */ : WINCODEC_ERR_NOTINITIALIZED;
  }

  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer) override {
    if (!source_) return WINCODEC_ERR_NOTINITIALIZED;
    WICRect area;
    HRESULT hr = VxWicCheckCopy(rect, width_, height_, 4, stride, bufferSize, buffer, &area);
    if (hr != S_OK) return SUCCEEDED(hr) ? S_OK : hr;
    unsigned srcBpp = kind_ == Src::Gray8 ? 1 : kind_ == Src::Rgb24 ? 3 : 4;
    UINT srcRow = UINT(area.Width) * srcBpp;
    std::vector<uint8_t> row;
    try {
      row.resize(srcRow);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    for (INT y = 0; y < area.Height; ++y) {
      WICRect line = {area.X, area.Y + y, area.Width, 1};
      hr = source_->CopyPixels(&line, srcRow, srcRow, row.data());
      if (FAILED(hr)) return hr;
      ConvertRow(kind_, premultiplied_, row.data(), buffer + size_t(y) * stride, UINT(area.Width));
    }
    return S_OK;
  }

 private:
  VxRef<IWICBitmapSource> source_;
  Src kind_ = Src::None;
  bool premultiplied_ = true;
  GUID format_ = GUID_NULL;
  UINT width_ = 0, height_ = 0;
};

}  // namespace

HRESULT VxCreateWicFormatConverter(IWICFormatConverter** converter) {
  if (!converter) return E_INVALIDARG;
  *converter = new (std::nothrow) FormatConverter();
  return *converter ? S_OK : E_OUTOFMEMORY;
}
