// The format converter against sources of every accepted layout, its state
// rules, and the CopyPixels argument checks shared by frames and converters.
#include <gtest/gtest.h>

#include <cmath>

#include "memory_source.h"
#include "png_fixture.h"
#include "wic_test_util.h"

namespace vxtest {
namespace {

using support::MemorySource;

IWICFormatConverter* NewConverter(WicTest& wic) {
  IWICFormatConverter* c = nullptr;
  EXPECT_EQ(wic.factory()->CreateFormatConverter(&c), S_OK);
  return c;
}

HRESULT Init(IWICFormatConverter* c, IWICBitmapSource* s, const GUID& target) {
  return c->Initialize(s, target, WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeMedianCut);
}

// Every (colour, alpha) pair: premultiplied with round-to-nearest, and back.
TEST(WicConvert, PremultipliesEveryValueWithRounding) {
  WicTest wic;
  std::vector<uint8_t> rgba;
  for (int a = 0; a < 256; ++a) {
    for (int c = 0; c < 256; ++c) rgba.insert(rgba.end(), {uint8_t(c), uint8_t(255 - c), uint8_t(c / 2), uint8_t(a)});
  }
  MemorySource* src = new MemorySource(256, 256, rgba, GUID_WICPixelFormat32bppRGBA, 72.0);
  Image img;
  ASSERT_EQ(wic.ToPbgra(src, &img), S_OK);
  int wrong = 0;
  for (size_t i = 0; i < rgba.size(); i += 4) {
    unsigned a = rgba[i + 3];
    auto pm = [a](unsigned c) { return int(std::floor(c * a / 255.0 + 0.5)); };
    wrong += img.bgra[i] != pm(rgba[i + 2]) || img.bgra[i + 1] != pm(rgba[i + 1]) || img.bgra[i + 2] != pm(rgba[i]) ||
             img.bgra[i + 3] != int(a);
  }
  EXPECT_EQ(wrong, 0);

  // Premultiplied in, straight out: opaque pixels come back unchanged and a
  // premultiplied value never exceeds its alpha after the round trip.
  MemorySource* pm = new MemorySource(256, 256, img.bgra, GUID_WICPixelFormat32bppPBGRA, 72.0);
  IWICFormatConverter* conv = NewConverter(wic);
  ASSERT_EQ(Init(conv, pm, GUID_WICPixelFormat32bppBGRA), S_OK);
  std::vector<uint8_t> straight(img.bgra.size());
  ASSERT_EQ(conv->CopyPixels(nullptr, 256 * 4, UINT(straight.size()), straight.data()), S_OK);
  for (int c = 0; c < 256; ++c) {
    size_t i = (255 * 256 + c) * 4;
    EXPECT_EQ((std::vector<int>{straight[i], straight[i + 1], straight[i + 2]}),
              (std::vector<int>{c / 2, 255 - c, c}));
  }
  for (int c = 0; c < 256; ++c) EXPECT_EQ(straight[c * 4 + 3], 0);  // alpha 0 row
  conv->Release();
  pm->Release();
  src->Release();
}

TEST(WicConvert, StatesAndUnsupportedFormats) {
  WicTest wic;
  MemorySource* src = new MemorySource(2, 1, {1, 2, 3, 4, 5, 6}, GUID_WICPixelFormat24bppRGB, 72.0);
  MemorySource* indexed = new MemorySource(2, 1, {0, 1}, GUID_WICPixelFormat8bppIndexed, 72.0);

  IWICFormatConverter* conv = NewConverter(wic);
  UINT w, h;
  GUID f;
  BYTE buf[8];
  EXPECT_EQ(conv->GetSize(&w, &h), WINCODEC_ERR_NOTINITIALIZED);
  EXPECT_EQ(conv->GetPixelFormat(&f), WINCODEC_ERR_NOTINITIALIZED);
  EXPECT_EQ(conv->CopyPixels(nullptr, 8, 8, buf), WINCODEC_ERR_NOTINITIALIZED);
  EXPECT_EQ(Init(conv, nullptr, GUID_WICPixelFormat32bppPBGRA), E_INVALIDARG);
  for (const GUID& target : {GUID_WICPixelFormat24bppRGB, GUID_WICPixelFormat8bppIndexed,
                             GUID_WICPixelFormat8bppGray, GUID_WICPixelFormat32bppRGBA, GUID_NULL}) {
    EXPECT_EQ(Init(conv, src, target), WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT);
  }
  EXPECT_EQ(Init(conv, indexed, GUID_WICPixelFormat32bppPBGRA), WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT);
  BOOL can = TRUE;
  EXPECT_EQ(conv->CanConvert(GUID_WICPixelFormat8bppIndexed, GUID_WICPixelFormat32bppPBGRA, &can), S_OK);
  EXPECT_FALSE(can);
  EXPECT_EQ(conv->CanConvert(GUID_WICPixelFormat8bppGray, GUID_WICPixelFormat32bppPBGRA, &can), S_OK);
  EXPECT_TRUE(can);

  // Failed attempts leave it uninitialised; the first success fixes it.
  ASSERT_EQ(Init(conv, src, GUID_WICPixelFormat32bppPBGRA), S_OK);
  EXPECT_EQ(Init(conv, src, GUID_WICPixelFormat32bppPBGRA), WINCODEC_ERR_WRONGSTATE);
  ASSERT_EQ(conv->GetPixelFormat(&f), S_OK);
  EXPECT_TRUE(f == GUID_WICPixelFormat32bppPBGRA);
  double dx = 0, dy = 0;
  EXPECT_EQ(conv->GetResolution(&dx, &dy), S_OK);
  EXPECT_EQ(dx, 72.0);

  // The converter holds its source: dropping ours must not free it.
  EXPECT_GT(src->Release(), 0u);
  ASSERT_EQ(conv->CopyPixels(nullptr, 8, 8, buf), S_OK);
  EXPECT_EQ((std::vector<int>(buf, buf + 8)), (std::vector<int>{3, 2, 1, 255, 6, 5, 4, 255}));
  EXPECT_EQ(conv->Release(), 0u);
  indexed->Release();
}

// The same checks run on a decoded frame and on a converter over it.
TEST(WicConvert, CopyPixelsChecksRectStrideAndBuffer) {
  WicTest wic;
  const UINT W = 5, H = 4;
  PngDesc s;
  s.width = W;
  s.height = H;
  s.colorType = 6;
  for (UINT i = 0; i < W * H; ++i) s.rows.insert(s.rows.end(), {uint8_t(i), uint8_t(i * 3), uint8_t(i * 7), 255});
  std::string path = FixtureDir("bounds") + "img.png";
  ASSERT_TRUE(WriteFileBytes(path, EncodePng(s)));
  IWICBitmapFrameDecode* frame = nullptr;
  ASSERT_EQ(wic.LoadFrame(path, &frame), S_OK);
  IWICFormatConverter* conv = NewConverter(wic);
  ASSERT_EQ(Init(conv, frame, GUID_WICPixelFormat32bppPBGRA), S_OK);

  for (IWICBitmapSource* src : {static_cast<IWICBitmapSource*>(frame), static_cast<IWICBitmapSource*>(conv)}) {
    std::vector<uint8_t> whole(W * H * 4);
    ASSERT_EQ(src->CopyPixels(nullptr, W * 4, UINT(whole.size()), whole.data()), S_OK);

    struct Case {
      WICRect rect;
      UINT stride, size;
      HRESULT expect;
    };
    const UINT padded = 3 * 4 + 5;  // 3 pixels wide plus padding
    const Case cases[] = {
        {{1, 1, 3, 2}, padded, padded + 12, S_OK},                    // exactly enough: no padding after the last row
        {{1, 1, 3, 2}, padded, padded + 11, WINCODEC_ERR_INSUFFICIENTBUFFER},
        {{1, 1, 3, 2}, 11, 100, E_INVALIDARG},                        // stride shorter than a row
        {{0, 0, INT(W), INT(H)}, W * 4, W * 4 * H, S_OK},
        {{0, 0, INT(W) + 1, 1}, 100, 100, E_INVALIDARG},
        {{4, 0, 2, 1}, 100, 100, E_INVALIDARG},
        {{0, 3, 1, 2}, 100, 200, E_INVALIDARG},
        {{-1, 0, 1, 1}, 100, 100, E_INVALIDARG},
        {{0, -1, 1, 1}, 100, 100, E_INVALIDARG},
        {{0, 0, -2, 1}, 100, 100, E_INVALIDARG},
        {{0x7FFFFFFF, 0, 0x7FFFFFFF, 1}, 100, 100, E_INVALIDARG},
        {{2, 2, 0, 0}, 0, 0, S_OK},                                   // empty: nothing to write
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.rect.X << "," << c.rect.Y << " " << c.rect.Width << "x"
                                      << c.rect.Height << " stride " << c.stride << " size " << c.size);
      std::vector<uint8_t> buf(c.size + 16, 0xAB);
      ASSERT_EQ(src->CopyPixels(&c.rect, c.stride, c.size, buf.data()), c.expect);
      if (c.expect != S_OK) {
        continue;
      }
      // Each row lands at its stride; padding and the bytes past size are untouched.
      for (UINT i = 0; i < buf.size(); ++i) {
        UINT row = c.stride ? i / c.stride : 0, col = c.stride ? i % c.stride : 0;
        bool inside = c.stride && row < UINT(c.rect.Height) && col < UINT(c.rect.Width) * 4;
        uint8_t want = inside ? whole[((c.rect.Y + row) * W + c.rect.X) * 4 + col] : 0xAB;
        ASSERT_EQ(buf[i], want) << "byte " << i;
      }
    }
    EXPECT_EQ(src->CopyPixels(nullptr, W * 4, W * 4 * H, nullptr), E_INVALIDARG);
  }
  conv->Release();
  EXPECT_EQ(frame->Release(), 0u);
}

}  // namespace
}  // namespace vxtest
