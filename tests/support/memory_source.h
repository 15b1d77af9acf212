// An imaging source that is not the imaging component's: fixed bytes in a
// stated format, served whole or by rectangle, with a failure to inject.
#pragma once
#include <wincodec.h>

#include <cstring>
#include <utility>
#include <vector>

#include "vx_com.h"

namespace support {

class MemorySource final : public VxComObject<IWICBitmapSource> {
 public:
  MemorySource(UINT w, UINT h, std::vector<uint8_t> bytes, GUID format = GUID_WICPixelFormat32bppPBGRA,
               double dpi = 96.0)
      : w_(w), h_(h), bytes_(std::move(bytes)), format_(format), dpi_(dpi) {}

  HRESULT STDMETHODCALLTYPE GetSize(UINT* w, UINT* h) override {
    *w = w_;
    *h = h_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* f) override {
    *f = format_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetResolution(double* x, double* y) override {
    *x = *y = dpi_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* r, UINT stride, UINT size, BYTE* buf) override {
    ++copies;
    if (FAILED(copyResult)) return copyResult;
    const UINT bpp = BytesPerPixel();
    WICRect a = r ? *r : WICRect{0, 0, INT(w_), INT(h_)};
    if (a.X < 0 || a.Y < 0 || a.Width < 0 || a.Height < 0 || UINT(a.X + a.Width) > w_ ||
        UINT(a.Y + a.Height) > h_ || stride < UINT(a.Width) * bpp) {
      return E_INVALIDARG;
    }
    if (a.Width == 0 || a.Height == 0) return S_OK;
    if (size < stride * UINT(a.Height - 1) + UINT(a.Width) * bpp) return WINCODEC_ERR_INSUFFICIENTBUFFER;
    for (INT y = 0; y < a.Height; ++y) {
      std::memcpy(buf + size_t(y) * stride, &bytes_[(size_t(a.Y + y) * w_ + a.X) * bpp], size_t(a.Width) * bpp);
    }
    return S_OK;
  }

  // Calls of CopyPixels so far, failed ones included.
  int copies = 0;
  // What CopyPixels reports while it is a failure.
  HRESULT copyResult = S_OK;

 private:
  UINT BytesPerPixel() const {
    if (IsEqualGUID(format_, GUID_WICPixelFormat24bppRGB)) return 3;
    if (IsEqualGUID(format_, GUID_WICPixelFormat8bppIndexed) || IsEqualGUID(format_, GUID_WICPixelFormat8bppGray))
      return 1;
    return 4;
  }

  UINT w_, h_;
  std::vector<uint8_t> bytes_;
  GUID format_;
  double dpi_;
};

}  // namespace support
