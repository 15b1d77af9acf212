#include "wic_test_util.h"

#include <gtest/gtest.h>
#include <sys/stat.h>


namespace vxtest {

// As the game makes it: COM first, then the class through the runtime.
WicTest::WicTest() {
  EXPECT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(IWICImagingFactory), reinterpret_cast<void**>(&factory_));
  EXPECT_EQ(hr, S_OK);
}

WicTest::~WicTest() {
  if (factory_) factory_->Release();
  CoUninitialize();
}

HRESULT WicTest::Decode(const std::string& path, IWICBitmapDecoder** decoder) {
  std::wstring wide = Widen(path);
  return factory_->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad,
                                             decoder);
}

HRESULT WicTest::LoadFrame(const std::string& path, IWICBitmapFrameDecode** frame) {
  IWICBitmapDecoder* decoder = nullptr;
  HRESULT hr = Decode(path, &decoder);
  if (FAILED(hr)) return hr;
  hr = decoder->GetFrame(0, frame);
  decoder->Release();
  return hr;
}

HRESULT WicTest::ToPbgra(IWICBitmapSource* source, Image* out) {
  IWICFormatConverter* converter = nullptr;
  HRESULT hr = factory_->CreateFormatConverter(&converter);
  if (FAILED(hr)) return hr;
  hr = converter->Initialize(source, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                             WICBitmapPaletteTypeMedianCut);
  if (SUCCEEDED(hr)) hr = converter->GetSize(&out->width, &out->height);
  if (SUCCEEDED(hr)) {
    out->bgra.assign(size_t(out->width) * out->height * 4, 0xCD);
    hr = converter->CopyPixels(nullptr, out->width * 4, UINT(out->bgra.size()), out->bgra.data());
  }
  converter->Release();
  return hr;
}

std::wstring Widen(const std::string& s) {
  // Fixture names are ASCII except where a test builds its own wide path.
  return std::wstring(s.begin(), s.end());
}

std::string FixtureDir(const std::string& name) {
  mkdir("fixtures", 0755);
  std::string dir = "fixtures/" + name;
  mkdir(dir.c_str(), 0755);
  return dir + "/";
}

}  // namespace vxtest
