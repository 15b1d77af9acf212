// Decoding real files: every PNG colour type into premultiplied BGRA, files
// that must fail with an HRESULT, and the frame's lifetime.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>

#include "capture_stderr.h"
#include "platform/wic/vx_wic.h"
#include "png_fixture.h"
#include "wic_test_util.h"

namespace vxtest {
namespace {

struct Rgba { uint8_t r, g, b, a; };

constexpr UINT kW = 3, kH = 2;

struct DecodeCase {
  const char* name;
  PngDesc png;
  std::vector<Rgba> expect;  // straight colour, row by row
  GUID frameFormat;
};

std::vector<uint8_t> Doubled(std::initializer_list<uint8_t> bytes) {
  std::vector<uint8_t> out;
  for (uint8_t b : bytes) out.insert(out.end(), {b, b});
  return out;
}

PngDesc Desc(uint8_t colorType, uint8_t depth, std::vector<uint8_t> rows, std::vector<uint8_t> palette = {},
             std::vector<uint8_t> trns = {}) {
  PngDesc s;
  s.width = kW;
  s.height = kH;
  s.colorType = colorType;
  s.bitDepth = depth;
  s.rows = std::move(rows);
  s.palette = std::move(palette);
  s.trns = std::move(trns);
  return s;
}

std::vector<DecodeCase> Cases() {
  const std::vector<uint8_t> pal = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 99, 199};
  const std::vector<Rgba> palPixels = {
      {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {9, 99, 199, 255}, {0, 0, 255, 255}, {0, 255, 0, 255}};
  std::vector<Rgba> palOneClear = palPixels;
  palOneClear[0].a = 0;
  std::vector<Rgba> palPartial = palPixels;
  palPartial[0].a = 255, palPartial[1].a = 128, palPartial[5].a = 128, palPartial[2].a = palPartial[4].a = 0;
  const std::vector<Rgba> rgbaPixels = {{200, 100, 50, 128}, {255, 255, 255, 1}, {10, 20, 30, 0},
                                        {255, 0, 0, 255},    {0, 255, 0, 254},   {33, 66, 99, 77}};
  std::vector<uint8_t> rgbaRows;
  for (const Rgba& p : rgbaPixels) rgbaRows.insert(rgbaRows.end(), {p.r, p.g, p.b, p.a});
  std::vector<uint8_t> rgba16Rows;
  for (uint8_t b : rgbaRows) rgba16Rows.insert(rgba16Rows.end(), {b, b});
  auto grey = [](std::initializer_list<int> g, std::initializer_list<int> a = {}) {
    std::vector<Rgba> out;
    auto ai = a.begin();
    for (int v : g) out.push_back({uint8_t(v), uint8_t(v), uint8_t(v), uint8_t(a.size() ? *ai++ : 255)});
    return out;
  };
  std::vector<Rgba> rgbPixels = {{1, 2, 3, 255},       {250, 128, 0, 255}, {0, 0, 255, 255},
                                 {255, 255, 255, 255}, {17, 34, 51, 255},  {0, 0, 0, 255}};
  std::vector<Rgba> rgbKeyed = rgbPixels;
  rgbKeyed[4].a = 0;
  std::vector<uint8_t> rgbRows = {1, 2, 3, 250, 128, 0, 0, 0, 255, 255, 255, 255, 17, 34, 51, 0, 0, 0};

  return {
      {"grey8", Desc(0, 8, {0, 1, 127, 128, 254, 255}), grey({0, 1, 127, 128, 254, 255}),
       GUID_WICPixelFormat8bppGray},
      {"grey4", Desc(0, 4, {0x01, 0x70, 0x8E, 0xF0}), grey({0, 17, 119, 136, 238, 255}),
       GUID_WICPixelFormat8bppGray},
      {"grey16", Desc(0, 16, Doubled({0, 0x12, 0x80, 0xFE, 0xFF, 0x01})), grey({0, 0x12, 0x80, 0xFE, 0xFF, 0x01}),
       GUID_WICPixelFormat8bppGray},
      {"grey8 with a transparent level", Desc(0, 8, {10, 200, 10, 0, 255, 200}, {}, {0, 200}),
       grey({10, 200, 10, 0, 255, 200}, {255, 0, 255, 255, 255, 0}), GUID_WICPixelFormat32bppBGRA},
      {"grey+alpha", Desc(4, 8, {255, 0, 255, 1, 255, 128, 100, 255, 7, 200, 0, 0}),
       grey({255, 255, 255, 100, 7, 0}, {0, 1, 128, 255, 200, 0}), GUID_WICPixelFormat32bppBGRA},
      {"grey+alpha 16", Desc(4, 16, Doubled({255, 0, 255, 1, 255, 128, 100, 255, 7, 200, 0, 0})),
       grey({255, 255, 255, 100, 7, 0}, {0, 1, 128, 255, 200, 0}), GUID_WICPixelFormat32bppBGRA},
      {"rgb", Desc(2, 8, rgbRows), rgbPixels, GUID_WICPixelFormat24bppRGB},
      {"rgb 16", Desc(2, 16, Doubled({1, 2, 3, 250, 128, 0, 0, 0, 255, 255, 255, 255, 17, 34, 51, 0, 0, 0})),
       rgbPixels, GUID_WICPixelFormat24bppRGB},
      {"rgb with a colour key", Desc(2, 8, rgbRows, {}, {0, 17, 0, 34, 0, 51}), rgbKeyed,
       GUID_WICPixelFormat32bppBGRA},
      {"rgba", Desc(6, 8, rgbaRows), rgbaPixels, GUID_WICPixelFormat32bppBGRA},
      {"rgba 16", Desc(6, 16, rgba16Rows), rgbaPixels, GUID_WICPixelFormat32bppBGRA},
      {"palette", Desc(3, 8, {0, 1, 2, 3, 2, 1}, pal), palPixels, GUID_WICPixelFormat32bppBGRA},
      {"palette 2-bit", Desc(3, 2, {0x18, 0xE4}, pal), palPixels, GUID_WICPixelFormat32bppBGRA},
      {"palette, one clear entry", Desc(3, 8, {0, 1, 2, 3, 2, 1}, pal, {0}), palOneClear,
       GUID_WICPixelFormat32bppBGRA},
      {"palette, partial alpha", Desc(3, 8, {0, 1, 2, 3, 2, 1}, pal, {255, 128, 0}), palPartial,
       GUID_WICPixelFormat32bppBGRA},
  };
}

uint8_t Premul(uint8_t c, uint8_t a) { return uint8_t(std::lround(c * a / 255.0)); }

TEST(WicDecode, EveryColourTypeBecomesPremultipliedBgra) {
  WicTest wic;
  std::string dir = FixtureDir("colour_types");
  int n = 0;
  for (DecodeCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    std::string path = dir + "case" + std::to_string(n++) + ".png";
    ASSERT_TRUE(WriteFileBytes(path, EncodePng(c.png)));
    IWICBitmapFrameDecode* frame = nullptr;
    ASSERT_EQ(wic.LoadFrame(path, &frame), S_OK);

    // The frame's own pixels, in the format it reports.
    GUID format;
    ASSERT_EQ(frame->GetPixelFormat(&format), S_OK);
    EXPECT_TRUE(format == c.frameFormat);
    UINT bpp = format == GUID_WICPixelFormat8bppGray ? 1 : format == GUID_WICPixelFormat24bppRGB ? 3 : 4;
    std::vector<uint8_t> native(kW * kH * bpp);
    ASSERT_EQ(frame->CopyPixels(nullptr, kW * bpp, UINT(native.size()), native.data()), S_OK);
    for (size_t i = 0; i < c.expect.size(); ++i) {
      const Rgba& e = c.expect[i];
      const uint8_t* p = &native[i * bpp];
      if (bpp == 1) {
        EXPECT_EQ(p[0], e.g) << "pixel " << i;
      } else if (bpp == 3) {
        EXPECT_EQ((std::vector<int>{p[0], p[1], p[2]}), (std::vector<int>{e.r, e.g, e.b})) << "pixel " << i;
      } else if (e.a == 0) {
        EXPECT_EQ(p[3], 0) << "pixel " << i;  // a clear pixel's colour is unspecified
      } else {
        EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{e.b, e.g, e.r, e.a}))
            << "pixel " << i;
      }
    }

    Image img;
    ASSERT_EQ(wic.ToPbgra(frame, &img), S_OK);
    ASSERT_EQ(img.width, kW);
    ASSERT_EQ(img.height, kH);
    for (size_t i = 0; i < c.expect.size(); ++i) {
      const Rgba& e = c.expect[i];
      const uint8_t* p = &img.bgra[i * 4];
      EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}),
                (std::vector<int>{Premul(e.b, e.a), Premul(e.g, e.a), Premul(e.r, e.a), e.a}))
          << "pixel " << i;
    }
    frame->Release();
  }
}

// BMP and JPEG have no dedicated path: SDL's general conversion serves them.
// Two flat halves, each a whole JPEG block group, so JPEG keeps them nearly exact.
TEST(WicDecode, BmpAndJpegDecodeToo) {
  WicTest wic;
  const int W = 32, H = 16;
  const Rgba left = {200, 100, 50, 255}, right = {20, 40, 240, 255};
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, W, H, 24, SDL_PIXELFORMAT_RGB24);
  ASSERT_NE(s, nullptr);
  for (int y = 0; y < H; ++y) {
    uint8_t* p = static_cast<uint8_t*>(s->pixels) + y * s->pitch;
    for (int x = 0; x < W; ++x, p += 3) {
      const Rgba& c = x < W / 2 ? left : right;
      p[0] = c.r, p[1] = c.g, p[2] = c.b;
    }
  }
  std::string dir = FixtureDir("other_containers");
  ASSERT_EQ(SDL_SaveBMP(s, (dir + "img.bmp").c_str()), 0);
  ASSERT_EQ(IMG_SaveJPG(s, (dir + "img.jpg").c_str(), 100), 0);
  SDL_FreeSurface(s);
  for (auto [name, tolerance] : {std::pair<const char*, int>{"img.bmp", 0}, {"img.jpg", 3}}) {
    SCOPED_TRACE(name);
    IWICBitmapFrameDecode* frame = nullptr;
    ASSERT_EQ(wic.LoadFrame(dir + name, &frame), S_OK);
    Image img;
    ASSERT_EQ(wic.ToPbgra(frame, &img), S_OK);
    frame->Release();
    ASSERT_EQ(img.width, UINT(W));
    ASSERT_EQ(img.height, UINT(H));
    int worst = 0;
    for (int i = 0; i < W * H; ++i) {
      // JPEG's chroma upsampling blends the two columns on either side of the seam.
      if (tolerance && std::abs(2 * (i % W) - (W - 1)) < 4) continue;
      const Rgba& c = i % W < W / 2 ? left : right;
      const uint8_t* p = &img.bgra[i * 4];
      worst = std::max({worst, std::abs(p[0] - c.b), std::abs(p[1] - c.g), std::abs(p[2] - c.r), 255 - p[3]});
    }
    EXPECT_LE(worst, tolerance);
  }
}

// Backslash separators and a non-ASCII name, resolved from the working directory.
TEST(WicDecode, WindowsStylePathsResolveRelativeToWorkingDirectory) {
  WicTest wic;
  std::string dir = FixtureDir("paths");
  ASSERT_TRUE(WriteFileBytes(dir + "\xE7\x94\xBB\xE5\x83\x8F.png", EncodePng(Desc(0, 8, {1, 2, 3, 4, 5, 6}))));
  std::wstring wide = L"fixtures\\paths\\\u753B\u50CF.png";
  IWICBitmapDecoder* decoder = nullptr;
  ASSERT_EQ(wic.factory()->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand, &decoder),
            S_OK);
  decoder->Release();
}

TEST(WicDecode, FrameOutlivesItsDecoder) {
  WicTest wic;
  std::string path = FixtureDir("lifetime") + "img.png";
  ASSERT_TRUE(WriteFileBytes(path, EncodePng(Desc(2, 8, std::vector<uint8_t>(18, 77)))));
  IWICBitmapDecoder* decoder = nullptr;
  ASSERT_EQ(wic.Decode(path, &decoder), S_OK);
  UINT count = 0;
  EXPECT_EQ(decoder->GetFrameCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  IWICBitmapFrameDecode* missing = reinterpret_cast<IWICBitmapFrameDecode*>(1);
  EXPECT_EQ(decoder->GetFrame(1, &missing), WINCODEC_ERR_FRAMEMISSING);
  EXPECT_EQ(missing, nullptr);
  IWICBitmapFrameDecode* frame = nullptr;
  ASSERT_EQ(decoder->GetFrame(0, &frame), S_OK);
  EXPECT_EQ(decoder->Release(), 0u);

  Image img;
  ASSERT_EQ(wic.ToPbgra(frame, &img), S_OK);
  EXPECT_EQ(img.width * img.height, kW * kH);
  for (size_t i = 0; i < img.bgra.size(); ++i) EXPECT_EQ(img.bgra[i], i % 4 == 3 ? 255 : 77) << i;
  EXPECT_EQ(frame->Release(), 0u);
}

std::vector<uint8_t> WithBadCrc(std::vector<uint8_t> png, const char* chunk) {
  for (size_t at = 8; at + 12 <= png.size();) {
    size_t len = size_t(png[at]) << 24 | size_t(png[at + 1]) << 16 | size_t(png[at + 2]) << 8 | png[at + 3];
    if (std::memcmp(&png[at + 4], chunk, 4) == 0) {
      png[at + 8 + len + 3] ^= 0x5A;
      break;
    }
    at += 12 + len;
  }
  return png;
}

// A JPEG whose only frame header claims the given size.
std::vector<uint8_t> JpegHeader(unsigned w, unsigned h) {
  std::vector<uint8_t> j = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
  j.insert(j.end(), {0xFF, 0xC0, 0, 11, 8, uint8_t(h >> 8), uint8_t(h), uint8_t(w >> 8), uint8_t(w), 1, 1, 0x11, 0});
  j.insert(j.end(), {0xFF, 0xD9});
  return j;
}

std::vector<uint8_t> BmpHeader(int32_t w, int32_t h) {
  std::vector<uint8_t> b(54, 0);
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
  };
  b[0] = 'B', b[1] = 'M';
  put(2, 54), put(10, 54), put(14, 40), put(18, uint32_t(w)), put(22, uint32_t(h));
  b[26] = 1, b[28] = 24;
  return b;
}

TEST(WicDecode, BadFilesFailWithAnHresult) {
  WicTest wic;
  std::string dir = FixtureDir("bad");
  // Noise does not compress, so its IDAT is large and truncations land inside it.
  std::mt19937 rng(7);
  PngDesc noisy;
  noisy.width = noisy.height = 64;
  noisy.colorType = 6;
  for (int i = 0; i < 64 * 64 * 4; ++i) noisy.rows.push_back(uint8_t(rng()));
  std::vector<uint8_t> good = EncodePng(noisy);
  std::vector<uint8_t> noise(4096);
  for (uint8_t& b : noise) b = uint8_t(rng());
  const std::string text = "this is not an image, only text saved with the wrong name\n";
  mkdir((dir + "folder.png").c_str(), 0755);
  mkfifo((dir + "fifo.png").c_str(), 0644);  // would block an open that waits for a writer

  struct BadCase {
    std::string name;
    bool write;
    std::vector<uint8_t> bytes;
    HRESULT expect;
    const char* why;  // the reason on the stderr line
  };
  auto cut = [&](size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + n); };
  std::vector<BadCase> cases = {
      {"missing.png", false, {}, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "not found"},
      {"no_such_folder/x.png", false, {}, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), "not found"},
      {"folder.png", false, {}, E_ACCESSDENIED, "a folder"},
      {"fifo.png", false, {}, E_ACCESSDENIED, "not a regular file"},
      {"/dev/zero", false, {}, E_ACCESSDENIED, "not a regular file"},  // endless: must not be read
      {"empty.png", true, {}, WINCODEC_ERR_COMPONENTNOTFOUND, "empty"},
      {"cut8.png", true, cut(8), WINCODEC_ERR_BADIMAGE, "truncated or corrupt"},
      {"cut20.png", true, cut(20), WINCODEC_ERR_BADIMAGE, "truncated or corrupt"},
      {"cut40.png", true, cut(40), WINCODEC_ERR_BADIMAGE, "truncated or corrupt"},
      {"cut_half.png", true, cut(good.size() / 2), WINCODEC_ERR_BADIMAGE, "truncated or corrupt"},
      {"cut_end.png", true, cut(good.size() - 40), WINCODEC_ERR_BADIMAGE, "truncated or corrupt"},
      {"noise.png", true, noise, WINCODEC_ERR_COMPONENTNOTFOUND, "not a PNG, BMP or JPEG image"},
      {"text.png", true, std::vector<uint8_t>(text.begin(), text.end()), WINCODEC_ERR_COMPONENTNOTFOUND, "not a PNG, BMP or JPEG image"},
      {"huge.png", true, PngHeaderOnly(100000, 100000), WINCODEC_ERR_IMAGESIZEOUTOFRANGE, "too large (100000 x 100000 pixels)"},
      {"wide.png", true, PngHeaderOnly(16385, 1), WINCODEC_ERR_IMAGESIZEOUTOFRANGE, "too large (16385 x 1 pixels)"},
      {"tall.png", true, PngHeaderOnly(1, 16385), WINCODEC_ERR_IMAGESIZEOUTOFRANGE, "too large (1 x 16385 pixels)"},
      {"max_u32.png", true, PngHeaderOnly(0xFFFFFFFFu, 0xFFFFFFFFu), WINCODEC_ERR_IMAGESIZEOUTOFRANGE, "too large (4294967295 x 4294967295 pixels)"},
      {"zero.png", true, PngHeaderOnly(0, 5), WINCODEC_ERR_BADIMAGE, "truncated or corrupt"},
      {"lying_header.png", true, PngHeaderOnly(5, 5), WINCODEC_ERR_BADIMAGE, "truncated or corrupt"},
      {"bad_ihdr_crc.png", true, WithBadCrc(good, "IHDR"), WINCODEC_ERR_BADIMAGE, "truncated or corrupt"},
      {"bad_idat_crc.png", true, WithBadCrc(good, "IDAT"), WINCODEC_ERR_BADIMAGE, "truncated or corrupt"},
      {"huge.jpg", true, JpegHeader(65535, 65535), WINCODEC_ERR_IMAGESIZEOUTOFRANGE, "too large (65535 x 65535 pixels)"},
      {"cut.jpg", true, std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J'}, WINCODEC_ERR_BADIMAGE, "truncated or corrupt"},
      {"huge.bmp", true, BmpHeader(100000, -100000), WINCODEC_ERR_IMAGESIZEOUTOFRANGE, "too large (100000 x 100000 pixels)"},
      {"empty.bmp", true, BmpHeader(4, 4), WINCODEC_ERR_BADIMAGE, "truncated or corrupt"},

      // Within the side limit, past the pixel limit: refused from the header, before any pixel buffer.
      {"square16k.png", true, PngHeaderOnly(16384, 16384), WINCODEC_ERR_IMAGESIZEOUTOFRANGE,
       "too large (16384 x 16384 pixels)"},
      {"just_over.png", true, PngHeaderOnly(8192, 8193), WINCODEC_ERR_IMAGESIZEOUTOFRANGE,
       "too large (8192 x 8193 pixels)"},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = c.name[0] == '/' ? c.name : dir + c.name;
    if (c.write) {
      ASSERT_TRUE(WriteFileBytes(path, c.bytes));
    }
    IWICBitmapDecoder* decoder = reinterpret_cast<IWICBitmapDecoder*>(1);
    HRESULT hr = S_OK;
    const std::string said = support::CaptureStderr([&] { hr = wic.Decode(path, &decoder); });
    EXPECT_EQ(hr, c.expect);
    EXPECT_EQ(decoder, nullptr);
    EXPECT_EQ(said, support::ProgramPrefix() + path + ": " + c.why + "\n");
  }
}

bool DecodesEveryRow(const std::vector<uint8_t>& file) {
  std::unique_ptr<VxWicRows> rows;
  VxWicImageInfo info;
  if (FAILED(VxWicOpenPngRows(file.data(), file.size(), false, &rows, &info))) return false;
  std::vector<uint8_t> row(size_t(info.width) * VxWicBytesPerPixel(info.format));
  for (UINT y = 0; y < info.height; ++y) {
    if (!rows->Next(row.data())) return false;
  }
  return true;
}

// A file is checked when it is opened by inflating its image data without
// unfiltering it, and decoded later without its checksums. The check must
// refuse exactly what decoding every row with libpng refuses, whatever the
// damage: cut anywhere, any byte changed, the image data cut, split across
// chunks or interrupted, its compressed bytes or filter types wrong.
TEST(WicDecode, CheckAtOpeningAgreesWithDecodingEveryRow) {
  std::mt19937 noise(7);
  auto desc = [&](uint32_t w, uint32_t h, uint8_t color, uint8_t depth, bool interlaced) {
    PngDesc d;
    d.width = w, d.height = h, d.colorType = color, d.bitDepth = depth, d.interlaced = interlaced;
    d.rows.resize(size_t(w) * h * 8);
    for (uint8_t& b : d.rows) b = uint8_t(noise() % 4 ? noise() : 0);
    if (color == 3) d.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 99, 199};
    return d;
  };
  const PngDesc bases[] = {desc(5, 4, 6, 8, false), desc(7, 5, 2, 16, true), desc(9, 3, 3, 2, false),
                           desc(3, 9, 4, 8, true)};
  int accepted = 0, refused = 0, disagreements = 0;
  auto compare = [&](const char* what, size_t k, const std::vector<uint8_t>& file) {
    VxWicImageInfo info;
    const bool checked = VxWicCheckPng(file.data(), file.size(), &info) == S_OK;
    const bool decoded = DecodesEveryRow(file);
    (decoded ? accepted : refused)++;
    if (checked != decoded && ++disagreements <= 10) {
      ADD_FAILURE() << what << " at " << k << ": the check " << (checked ? "accepts" : "refuses")
                    << ", decoding " << (decoded ? "succeeds" : "fails");
    }
  };
  for (const PngDesc& base : bases) {
    SCOPED_TRACE(std::to_string(base.width) + " x " + std::to_string(base.height) + ", colour type " +
                 std::to_string(base.colorType) + (base.interlaced ? ", interlaced" : ""));
    const std::vector<uint8_t> head = PngHead(base), raw = PngScanlines(base), z = Deflate(raw);
    auto file = [&](std::initializer_list<std::vector<uint8_t>> idats, bool textBetween = false) {
      std::vector<uint8_t> f = head;
      bool first = true;
      for (const auto& part : idats) {
        if (!first && textBetween) Chunk(f, "tEXt", {'a', 0, 'b'});
        Chunk(f, "IDAT", part);
        first = false;
      }
      Chunk(f, "IEND", {});
      return f;
    };
    const std::vector<uint8_t> whole = file({z});
    ASSERT_TRUE(DecodesEveryRow(whole));
    for (size_t k = 0; k < whole.size(); ++k) {
      compare("the file cut", k, std::vector<uint8_t>(whole.begin(), whole.begin() + k));
      std::vector<uint8_t> changed = whole;
      changed[k] ^= 0xFF;
      compare("a byte of the file changed", k, changed);
    }
    for (size_t k = 0; k <= z.size(); ++k) {
      const std::vector<uint8_t> a(z.begin(), z.begin() + k), b(z.begin() + k, z.end());
      compare("the image data cut", k, file({a}));
      compare("the image data split", k, file({a, {}, b}));
      compare("the image data interrupted", k, file({a, b}, true));
      const std::vector<uint8_t> split = file({a, b});
      for (size_t cut = head.size(); cut < split.size(); cut += 3) {
        compare("the split file cut", cut, std::vector<uint8_t>(split.begin(), split.begin() + cut));
      }
      if (k == z.size()) break;
      for (uint8_t flip : {0x01, 0x80, 0xFF}) {
        std::vector<uint8_t> changed = z;
        changed[k] ^= flip;
        compare("a compressed byte changed", k, file({changed}));
      }
    }
    for (size_t k = 0; k < raw.size(); ++k) {
      for (uint8_t value : {4, 5, 0xFF}) {
        std::vector<uint8_t> changed = raw;
        changed[k] = value;
        compare("a stored byte set", k, file({Deflate(changed)}));
      }
    }
    std::vector<uint8_t> longer = raw, shorter = raw;
    longer.resize(raw.size() + 9, 0);
    shorter.pop_back();
    compare("more image data than rows", 0, file({Deflate(longer)}));
    compare("one byte of image data short", 0, file({Deflate(shorter)}));
  }
  EXPECT_EQ(disagreements, 0);
  EXPECT_GT(accepted, 1000);
  EXPECT_GT(refused, 1000);
}

// Decodes in a child whose data may grow by at most budget bytes past what
// it holds already, and copies the frame's first row; a step that wants
// more memory gets E_OUTOFMEMORY there.
HRESULT DecodeWithin(WicTest& wic, const std::string& path, size_t budget) {
  int fds[2];
  if (pipe(fds) != 0) return E_FAIL;
  fflush(NULL);
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::ifstream status("/proc/self/status");
    size_t dataKb = 0;
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("VmData:", 0) == 0) dataKb = std::stoul(line.substr(7));
    }
    const rlimit limit = {dataKb * 1024 + budget, dataKb * 1024 + budget};
    if (dataKb == 0 || setrlimit(RLIMIT_DATA, &limit) != 0 || !freopen("/dev/null", "w", stderr)) _exit(2);
    IWICBitmapDecoder* decoder = nullptr;
    HRESULT hr = wic.Decode(path, &decoder);
    IWICBitmapFrameDecode* frame = nullptr;
    if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, &frame);
    UINT width = 0, height = 0;
    if (SUCCEEDED(hr)) hr = frame->GetSize(&width, &height);
    if (SUCCEEDED(hr)) {
      std::vector<uint8_t> row(size_t(width) * 4);
      const WICRect first = {0, 0, INT(width), 1};
      hr = frame->CopyPixels(&first, UINT(row.size()), UINT(row.size()), row.data());
    }
    if (frame) frame->Release();
    if (decoder) decoder->Release();
    _exit(write(fds[1], &hr, sizeof hr) == sizeof hr ? 0 : 3);
  }
  close(fds[1]);
  HRESULT hr = E_UNEXPECTED;
  if (read(fds[0], &hr, sizeof hr) != sizeof hr) hr = E_UNEXPECTED;  // the child died
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return hr;
}

// A file that claims more than it holds costs what its header declares at
// most (less for a PNG, which is checked without being decoded whole), and
// an image past the caps costs nothing: each decode runs with only a few
// megabytes to spare, or the declared image's size where it must be decoded
// whole.
TEST(WicDecode, ShortFilesCostNoMoreThanTheyDeclare) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers' allocators map memory of their own";
#endif
  WicTest wic;
  const std::string dir = FixtureDir("short");
  const size_t kSpare = 4u << 20;
  std::vector<uint8_t> bmp = BmpHeader(2048, 2048);  // 12 MB of rows declared, a few present
  bmp.resize(bmp.size() + 5000, 0x40);
  PngDesc whole;
  whole.width = whole.height = 2048;
  whole.interlaced = true;
  const std::vector<uint8_t> interlaced = EncodePng(whole);
  struct CostCase {
    const char* name;
    std::vector<uint8_t> bytes;
    size_t budget;
    HRESULT expect;
  } cases[] = {
      {"16384 x 16384 in 334 bytes", PngCutShort(16384, 16384, 6, false, 334), kSpare,
       WINCODEC_ERR_IMAGESIZEOUTOFRANGE},
      {"4096 x 4096 cut after 2 KB", PngCutShort(4096, 4096, 6, false, 2048), kSpare, WINCODEC_ERR_BADIMAGE},
      {"8192 x 8192, the largest image, cut", PngCutShort(8192, 8192, 6, false, 4096), kSpare,
       WINCODEC_ERR_BADIMAGE},
      // Checked without being decoded whole, though its rows only come whole after the last pass.
      {"interlaced 2048 x 2048 cut", PngCutShort(2048, 2048, 6, true, 4096), kSpare, WINCODEC_ERR_BADIMAGE},
      {"bmp 2048 x 2048 cut", bmp, (16u << 20) + kSpare, WINCODEC_ERR_BADIMAGE},
      // An interlaced image is decoded whole when its pixels are wanted: the
      // limit bites where the spare alone cannot hold it.
      {"interlaced 2048 x 2048", interlaced, (16u << 20) + kSpare, S_OK},
      {"interlaced, without room for its image", interlaced, kSpare, E_OUTOFMEMORY},
  };
  int n = 0;
  for (const CostCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir + "c" + std::to_string(n++) + (c.bytes[0] == 'B' ? ".bmp" : ".png");
    ASSERT_TRUE(WriteFileBytes(path, c.bytes));
    EXPECT_EQ(DecodeWithin(wic, path, c.budget), c.expect);
  }
  EXPECT_EQ(PngCutShort(16384, 16384, 6, false, 334).size(), 334u);
}

// The size limit is on the image, not on how the header looks: the largest
// accepted width still decodes.
TEST(WicDecode, LargestAcceptedSideDecodes) {
  WicTest wic;
  std::string path = FixtureDir("limit") + "row.png";
  PngDesc s;
  s.width = 16384;
  s.height = 1;
  s.colorType = 0;
  s.rows.assign(16384, 0);
  s.rows.back() = 200;
  ASSERT_TRUE(WriteFileBytes(path, EncodePng(s)));
  IWICBitmapFrameDecode* frame = nullptr;
  ASSERT_EQ(wic.LoadFrame(path, &frame), S_OK);
  Image img;
  ASSERT_EQ(wic.ToPbgra(frame, &img), S_OK);
  frame->Release();
  EXPECT_EQ(img.width, 16384u);
  EXPECT_EQ(img.bgra[16383 * 4], 200);
}

// A frame decodes on each copy. Bands of rows read top to bottom continue
// one decode and give the whole image; a band above the last starts again
// from the top and still gives the right rows, whole or cut.
TEST(WicDecode, BandsContinueOneDecodeAndMatchTheWholeImage) {
  WicTest wic;
  std::string dir = FixtureDir("bands");
  std::mt19937 rng(99);
  auto random = [&](size_t n) {
    std::vector<uint8_t> v(n);
    for (uint8_t& b : v) b = uint8_t(rng());
    return v;
  };
  const uint32_t W = 37, H = 29;
  auto desc = [&](uint8_t colorType, uint8_t depth, size_t bytesPerPixel, bool interlaced = false) {
    PngDesc d;
    d.width = W;
    d.height = H;
    d.colorType = colorType;
    d.bitDepth = depth;
    d.rows = random((size_t(W) * depth * bytesPerPixel + 7) / 8 * H);
    d.interlaced = interlaced;
    return d;
  };
  PngDesc palette = desc(3, 4, 1);
  palette.palette = random(16 * 3);
  palette.trns = {0, 128, 255, 7};
  PngDesc keyed = desc(2, 8, 3);
  keyed.rows[0] = keyed.rows[1] = keyed.rows[2] = 0;
  keyed.trns = {0, 0, 0, 0, 0, 0};
  const std::pair<const char*, PngDesc> kinds[] = {
      {"grey 4-bit", desc(0, 4, 1)},      {"rgb", desc(2, 8, 3)},   {"rgba", desc(6, 8, 4)},
      {"rgb keyed", keyed},               {"grey+alpha", desc(4, 8, 2)},
      {"rgba 16", desc(6, 16, 4)},        {"palette", palette},
      {"interlaced rgba", desc(6, 8, 4, true)}, {"interlaced grey", desc(0, 8, 1, true)},
  };
  int n = 0;
  for (const auto& [name, png] : kinds) {
    SCOPED_TRACE(name);
    std::string path = dir + "k" + std::to_string(n++) + ".png";
    ASSERT_TRUE(WriteFileBytes(path, EncodePng(png)));
    IWICBitmapFrameDecode* frame = nullptr;
    ASSERT_EQ(wic.LoadFrame(path, &frame), S_OK);
    GUID format;
    ASSERT_EQ(frame->GetPixelFormat(&format), S_OK);
    const UINT bpp = VxWicBytesPerPixel(format), stride = W * bpp;
    std::vector<uint8_t> whole(size_t(stride) * H), bands(whole.size());
    ASSERT_EQ(frame->CopyPixels(nullptr, stride, UINT(whole.size()), whole.data()), S_OK);
    if (png.interlaced) {  // the same pixels as the plain encoding
      PngDesc plain = png;
      plain.interlaced = false;
      ASSERT_TRUE(WriteFileBytes(path + ".plain.png", EncodePng(plain)));
      IWICBitmapFrameDecode* plainFrame = nullptr;
      ASSERT_EQ(wic.LoadFrame(path + ".plain.png", &plainFrame), S_OK);
      std::vector<uint8_t> expected(whole.size());
      ASSERT_EQ(plainFrame->CopyPixels(nullptr, stride, UINT(expected.size()), expected.data()), S_OK);
      plainFrame->Release();
      EXPECT_EQ(whole, expected);
    }

    const long before = VxWicDecodesStarted();
    for (UINT y = 0; y < H; y += 5) {
      const WICRect band = {0, INT(y), INT(W), INT(std::min<UINT>(5, H - y))};
      ASSERT_EQ(frame->CopyPixels(&band, stride, stride * band.Height, &bands[y * stride]), S_OK);
    }
    EXPECT_EQ(bands, whole);
    EXPECT_EQ(VxWicDecodesStarted() - before, 1);

    // Out of order and cut: rows 20..24 from x 3, then 2..7 from x 0, then 9..10 from x 30.
    for (WICRect r : {WICRect{3, 20, 30, 5}, WICRect{0, 2, INT(W), 6}, WICRect{30, 9, 7, 2}}) {
      std::vector<uint8_t> got(size_t(r.Width) * bpp * r.Height);
      ASSERT_EQ(frame->CopyPixels(&r, r.Width * bpp, UINT(got.size()), got.data()), S_OK);
      for (INT y = 0; y < r.Height; ++y) {
        const uint8_t* want = &whole[(r.Y + y) * stride + r.X * bpp];
        EXPECT_TRUE(std::equal(want, want + r.Width * bpp, &got[y * r.Width * bpp])) << "row " << r.Y + y;
      }
    }
    frame->Release();
  }
}

TEST(WicDecode, FactoryClassesAndBadArguments) {
  WicTest wic;
  for (const GUID& clsid : {CLSID_WICImagingFactory, CLSID_WICImagingFactory2}) {
    IWICImagingFactory* factory = nullptr;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)), S_OK);
    IWICFormatConverter* converter = nullptr;
    EXPECT_EQ(factory->QueryInterface(IID_PPV_ARGS(&converter)), E_NOINTERFACE);
    EXPECT_EQ(factory->CreateFormatConverter(&converter), S_OK);
    converter->Release();
    EXPECT_EQ(factory->Release(), 0u);
  }
  IWICBitmapDecoder* decoder = nullptr;
  EXPECT_EQ(wic.factory()->CreateDecoderFromFilename(nullptr, nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad,
                                                     &decoder),
            E_INVALIDARG);
  EXPECT_EQ(wic.factory()->CreateDecoderFromFilename(L"x.png", nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad,
                                                     nullptr),
            E_INVALIDARG);
  EXPECT_EQ(wic.factory()->CreateDecoderFromFilename(L"x.png", nullptr, GENERIC_WRITE, WICDecodeMetadataCacheOnLoad,
                                                     &decoder),
            E_INVALIDARG);
  EXPECT_EQ(decoder, nullptr);
}

}  // namespace
}  // namespace vxtest
