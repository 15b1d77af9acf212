// back01.png and jiki1.png decoded through WIC to premultiplied BGRA, then
// held to what the game draws from them.
#include <windows.h>
#include <wincodec.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Image {
  UINT width = 0, height = 0;
  std::vector<uint8_t> bgra;
  uint8_t Alpha(UINT x, UINT y) const { return bgra[(size_t(y) * width + x) * 4 + 3]; }
  const uint8_t* Row(UINT y, UINT x = 0) const { return &bgra[(size_t(y) * width + x) * 4]; }
};

struct Box {
  const char* name;
  UINT left, top, right, bottom;
  double minFill = 0.12, maxFill = 1.0;  // share of the inside that is clearly drawn
};

// As the game does it: factory, decoder from the file name, first frame,
// converter to 32bpp PBGRA.
HRESULT LoadThroughWic(const std::string& path, Image* out) {
  IWICImagingFactory* factory = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(IWICImagingFactory), reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  std::wstring wide(path.begin(), path.end());
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICFormatConverter* converter = nullptr;
  hr = factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                          WICDecodeMetadataCacheOnLoad, &decoder);
  if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, &frame);
  if (SUCCEEDED(hr)) hr = factory->CreateFormatConverter(&converter);
  if (SUCCEEDED(hr))
    hr = converter->Initialize(frame, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                               0.0, WICBitmapPaletteTypeCustom);
  if (SUCCEEDED(hr)) hr = converter->GetSize(&out->width, &out->height);
  if (SUCCEEDED(hr)) {
    out->bgra.resize(size_t(out->width) * out->height * 4);
    hr = converter->CopyPixels(nullptr, out->width * 4, UINT(out->bgra.size()), out->bgra.data());
  }
  for (IUnknown* p : {static_cast<IUnknown*>(converter), static_cast<IUnknown*>(frame),
                      static_cast<IUnknown*>(decoder), static_cast<IUnknown*>(factory)})
    if (p) p->Release();
  return hr;
}

class ImageAssets : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitialize(nullptr);
    back_ = new Image;
    sheet_ = new Image;
    backResult_ = LoadThroughWic(VX_ASSETS_DIR "/images/back01.png", back_);
    sheetResult_ = LoadThroughWic(VX_ASSETS_DIR "/images/jiki1.png", sheet_);
  }
  static void TearDownTestSuite() {
    delete back_;
    delete sheet_;
    CoUninitialize();
  }
  void SetUp() override {
    ASSERT_EQ(backResult_, S_OK);
    ASSERT_EQ(sheetResult_, S_OK);
  }
  static Image* back_;
  static Image* sheet_;
  static HRESULT backResult_, sheetResult_;
};

Image* ImageAssets::back_ = nullptr;
Image* ImageAssets::sheet_ = nullptr;
HRESULT ImageAssets::backResult_ = E_FAIL;
HRESULT ImageAssets::sheetResult_ = E_FAIL;

// Every rectangle the game draws from the sprite sheet.
const Box kSprites[] = {
    {"fighter", 0, 0, 50, 100},        {"pod", 110, 30, 160, 100},
    {"small enemy", 50, 0, 110, 60},   {"pickup", 110, 0, 140, 30},
    {"fragment a", 62, 84, 78, 100},   {"fragment b", 94, 84, 110, 100},
    // The sight and lock frame lie over the play ahead of the fighter: thin lines only.
    {"marker", 200, 0, 270, 70, 0.05}, {"sight", 1200, 0, 1600, 300, 0.01, 0.3},
    {"lock frame", 1200, 300, 1600, 600, 0.01, 0.3},
    {"enemy 9-11", 0, 100, 300, 400},  {"enemy 12-14", 300, 100, 600, 400},
    {"enemy 15-17", 600, 100, 900, 400},
    {"enemy 18-20", 0, 400, 400, 1200},    {"enemy 21-23", 400, 400, 800, 1200},
    {"enemy 24-26", 800, 400, 1200, 1200}, {"enemy 27-29", 0, 1200, 400, 2000},
    {"enemy 30-32", 400, 1200, 800, 2000}, {"enemy 33-35", 800, 1200, 1200, 2000},
    {"enemy 36-38", 0, 2000, 400, 2800},   {"enemy 39-41", 400, 2000, 800, 2800},
    {"enemy 42-44", 800, 2000, 1200, 2800}, {"enemy 45-47", 0, 2800, 400, 3600},
};

bool Inside(const Box& b, UINT x, UINT y) { return x >= b.left && x < b.right && y >= b.top && y < b.bottom; }

TEST_F(ImageAssets, SizesHoldEveryRegionTheGameReads) {
  EXPECT_GE(back_->width, 1800u);
  EXPECT_GE(back_->height, 3072u);
  EXPECT_GE(sheet_->width, 1600u);
  EXPECT_GE(sheet_->height, 3600u);
}

TEST_F(ImageAssets, BackgroundLayersRepeatEvery768RowsAndLayerAIsOpaque) {
  const struct {
    const char* name;
    UINT top;
  } layers[] = {{"layer A", 0}, {"layer B", 1536}};
  for (const auto& layer : layers) {
    for (UINT r = 0; r < 768; ++r) {
      const uint8_t* a = back_->Row(layer.top + r);
      const uint8_t* b = back_->Row(layer.top + r + 768);
      ASSERT_EQ(std::memcmp(a, b, 600 * 4), 0) << layer.name << " row " << r << " differs from row "
                                               << r + 768;
    }
  }
  size_t notOpaque = 0;
  for (UINT y = 0; y < 1536; ++y)
    for (UINT x = 0; x < 600; ++x) notOpaque += back_->Alpha(x, y) != 255;
  EXPECT_EQ(notOpaque, 0u) << "layer A must hide the black clear";
}

TEST_F(ImageAssets, LayerBLetsLayerAThroughAndTitleHasContent) {
  size_t clear = 0, total = 0;
  for (UINT y = 1536; y < 3072; ++y)
    for (UINT x = 0; x < 600; ++x, ++total) clear += back_->Alpha(x, y) < 128;
  EXPECT_GT(double(clear) / total, 0.6) << "layer B covers too much of layer A";
  size_t drawn = 0;
  for (UINT y = 0; y < 768; ++y)
    for (UINT x = 600; x < 1800; ++x) drawn += back_->Alpha(x, y) > 0;
  EXPECT_GT(drawn, size_t(1200 * 768 / 4)) << "title picture is mostly empty";
}

TEST_F(ImageAssets, EverySpriteHasPixelsInsideAClearTwoPixelRing) {
  for (const Box& b : kSprites) {
    const UINT w = b.right - b.left, h = b.bottom - b.top;
    size_t visible = 0, ring = 0;
    for (UINT y = b.top; y < b.bottom; ++y)
      for (UINT x = b.left; x < b.right; ++x) {
        const bool inRing = x < b.left + 2 || x >= b.right - 2 || y < b.top + 2 || y >= b.bottom - 2;
        const uint8_t a = sheet_->Alpha(x, y);
        if (inRing)
          ring += a != 0;
        else
          visible += a > 32;
      }
    EXPECT_EQ(ring, 0u) << b.name << ": margin ring must be fully transparent";
    const double fill = double(visible) / (w * h);
    EXPECT_GT(fill, b.minFill) << b.name << " is nearly empty";
    EXPECT_LT(fill, b.maxFill) << b.name << " covers too much of what lies under it";
  }
}

TEST_F(ImageAssets, NothingOutsideTheSpriteRectangles) {
  size_t stray = 0;
  UINT firstX = 0, firstY = 0;
  for (UINT y = 0; y < sheet_->height; ++y)
    for (UINT x = 0; x < sheet_->width; ++x) {
      if (sheet_->Alpha(x, y) == 0) continue;
      bool covered = false;
      for (const Box& b : kSprites) covered = covered || Inside(b, x, y);
      if (!covered && stray++ == 0) firstX = x, firstY = y;
    }
  EXPECT_EQ(stray, 0u) << "first stray pixel at (" << firstX << ", " << firstY << ")";
}

}  // namespace
