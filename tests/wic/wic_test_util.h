// Shared by the imaging tests: the factory, decoding by path, and reading a
// source back as premultiplied BGRA.
#pragma once
#include <wincodec.h>

#include <string>
#include <vector>

#include "vx_com.h"

namespace vxtest {

struct Image {
  UINT width = 0, height = 0;
  std::vector<uint8_t> bgra;  // tightly packed
};

class WicTest {
 public:
  WicTest();
  ~WicTest();
  IWICImagingFactory* factory() const { return factory_; }

  HRESULT Decode(const std::string& path, IWICBitmapDecoder** decoder);
  // Decodes and returns frame 0 (the decoder already released).
  HRESULT LoadFrame(const std::string& path, IWICBitmapFrameDecode** frame);
  // Runs the source through a converter to 32bppPBGRA and copies all of it.
  HRESULT ToPbgra(IWICBitmapSource* source, Image* out);

 private:
  IWICImagingFactory* factory_ = nullptr;
};

std::wstring Widen(const std::string& s);
// Fresh per-test folder under the working directory, ending in '/'.
std::string FixtureDir(const std::string& name);

}  // namespace vxtest
