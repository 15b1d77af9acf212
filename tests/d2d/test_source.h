// A minimal imaging source standing in for the imaging component's converter.
#pragma once
#include <wincodec.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "platform/internal/vx_com.h"

namespace d2dtest {

class TestSource final : public VxComObject<IWICBitmapSource> {
 public:
  TestSource(UINT w, UINT h, std::vector<uint8_t> bgra, GUID format = GUID_WICPixelFormat32bppPBGRA,
             HRESULT copyResult = S_OK)
      : w_(w), h_(h), bgra_(std::move(bgra)), format_(format), copyResult_(copyResult) {}
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
    *x = *y = 96.0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT size, BYTE* buffer) override {
    ++copies;
    if (FAILED(copyResult_)) return copyResult_;
    if (rect || stride != w_ * 4 || size < bgra_.size()) return E_INVALIDARG;
    std::memcpy(buffer, bgra_.data(), bgra_.size());
    return S_OK;
  }
  int copies = 0;

 private:
  UINT w_, h_;
  std::vector<uint8_t> bgra_;
  GUID format_;
  HRESULT copyResult_;
};

}  // namespace d2dtest
