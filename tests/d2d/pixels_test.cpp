// Real OpenGL drawing (SDL offscreen, Mesa llvmpipe) read back from the
// window target and compared with references computed here.
#include <d2d1.h>
#include <dwrite.h>
#include <gtest/gtest.h>
#include <wincodec.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "alloc_counter.h"
#include "app/glow.h"
#include "memory_source.h"
#include "vx_testing.h"

namespace {

constexpr int kW = 160, kH = 120;

struct Rgba {
  float r, g, b, a;
};

// A float picture composited the way the target must: premultiplied source,
// clamped to [0, 1] when written, then blended over.
struct Picture {
  std::vector<Rgba> px = std::vector<Rgba>(kW * kH, Rgba{0, 0, 0, 1});
  void Blend(int x, int y, Rgba premul) {
    Rgba& d = px[y * kW + x];
    auto c = [](float v) { return std::min(1.0f, std::max(0.0f, v)); };
    Rgba s{c(premul.r), c(premul.g), c(premul.b), c(premul.a)};
    d = Rgba{s.r + d.r * (1 - s.a), s.g + d.g * (1 - s.a), s.b + d.b * (1 - s.a), s.a + d.a * (1 - s.a)};
  }
};

// Area of pixel (x, y) inside a round-capped segment, by 16 x 16 supersampling.
float CapsuleCoverage(int x, int y, D2D1_POINT_2F a, D2D1_POINT_2F b, float halfWidth) {
  int inside = 0;
  float dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
  for (int sy = 0; sy < 16; ++sy)
    for (int sx = 0; sx < 16; ++sx) {
      float px = x + (sx + 0.5f) / 16, py = y + (sy + 0.5f) / 16;
      float t = len2 > 0 ? std::clamp(((px - a.x) * dx + (py - a.y) * dy) / len2, 0.0f, 1.0f) : 0.0f;
      float ex = px - (a.x + t * dx), ey = py - (a.y + t * dy);
      inside += ex * ex + ey * ey <= halfWidth * halfWidth;
    }
  return inside / 256.0f;
}

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class PixelsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = L"vx_d2d_pixels";
    RegisterClassExW(&wc);
  }
  void SetUp() override {
    vxtest::UseRecordingTargets(false);
    hwnd_ = CreateWindowExW(0, L"vx_d2d_pixels", L"pixels", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                            nullptr, nullptr);
    ASSERT_NE(hwnd_, nullptr);
    ASSERT_EQ(D2D1CreateFactory(D2D1_FACTORY_TYPE_MULTI_THREADED, &factory_), S_OK);
    ASSERT_EQ(factory_->CreateHwndRenderTarget(D2D1::RenderTargetProperties(),
                                               D2D1::HwndRenderTargetProperties(hwnd_, D2D1::SizeU(kW, kH)),
                                               &target_),
              S_OK);
    ASSERT_EQ(target_->CreateSolidColorBrush(D2D1::ColorF(0, 0, 0, 1), &brush_), S_OK);
    ASSERT_EQ(factory_->CreateStrokeStyle(D2D1::StrokeStyleProperties(D2D1_CAP_STYLE_ROUND, D2D1_CAP_STYLE_ROUND),
                                          nullptr, 0, &round_),
              S_OK);
  }
  void TearDown() override {
    if (round_) round_->Release();
    if (brush_) brush_->Release();
    if (target_) target_->Release();
    if (factory_) factory_->Release();
    if (hwnd_) DestroyWindow(hwnd_);
  }

  // One frame on opaque black; the picture read back, top row first.
  std::vector<uint8_t> Draw(const std::function<void()>& body, D2D1_COLOR_F clear = D2D1::ColorF(0, 0, 0, 1)) {
    target_->BeginDraw();
    target_->Clear(clear);
    body();
    EXPECT_EQ(target_->EndDraw(), S_OK);
    std::vector<uint8_t> rgba;
    int w = 0, h = 0;
    EXPECT_TRUE(vxtest::ReadWindowPixels(hwnd_, rgba, &w, &h));
    EXPECT_EQ(w, kW);
    EXPECT_EQ(h, kH);
    return rgba;
  }

  // As the game draws a glow line.
  void Glow(UINT32 rgb, D2D1_POINT_2F a, D2D1_POINT_2F b) {
    D2D1::ColorF c(rgb);
    for (const GlowPass& p : kGlowPasses) {
      brush_->SetColor(D2D1::ColorF(c.r * p.colorScale, c.g * p.colorScale, c.b * p.colorScale, p.alpha));
      target_->DrawLine(a, b, brush_, p.width, round_);
    }
  }

  ID2D1Bitmap* MakeBitmap(int w, int h, const std::function<void(int, int, uint8_t*)>& texel) {
    std::vector<uint8_t> bgra(w * h * 4);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) texel(x, y, &bgra[(y * w + x) * 4]);
    auto* source = new support::MemorySource(w, h, bgra);
    ID2D1Bitmap* bitmap = nullptr;
    EXPECT_EQ(target_->CreateBitmapFromWicBitmap(source, &bitmap), S_OK);
    source->Release();
    return bitmap;
  }

  HWND hwnd_ = nullptr;
  ID2D1Factory* factory_ = nullptr;
  ID2D1HwndRenderTarget* target_ = nullptr;
  ID2D1SolidColorBrush* brush_ = nullptr;
  ID2D1StrokeStyle* round_ = nullptr;
};

// Largest per-channel difference, and how many pixels differ by more than slack.
struct Diff {
  int largest = 0;
  int past = 0;
};
Diff Compare(const std::vector<uint8_t>& got, const Picture& want, int slack) {
  Diff d;
  for (int i = 0; i < kW * kH; ++i) {
    const Rgba& w = want.px[i];
    const float ch[3] = {w.r, w.g, w.b};
    int worst = 0;
    for (int c = 0; c < 3; ++c)
      worst = std::max(worst, std::abs(got[i * 4 + c] - static_cast<int>(std::lround(ch[c] * 255))));
    d.largest = std::max(d.largest, worst);
    d.past += worst > slack;
  }
  return d;
}

TEST_F(PixelsTest, GlowLinesMatchTheReferenceAndTheHaloSaturates) {
  struct Case {
    UINT32 rgb;
    D2D1_POINT_2F a, b;
  } cases[] = {
      {0x0FFF00, {20.0f, 40.0f}, {120.0f, 40.0f}},  // a player shot's colour, long and level
      {0xFF4040, {30.5f, 20.25f}, {90.0f, 100.0f}},  // diagonal, off the pixel grid
      {0x40A0FF, {80.0f, 60.0f}, {81.0f, 60.0f}},    // a pixel long: a round spot
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.rgb);
    auto got = Draw([&] { Glow(c.rgb, c.a, c.b); });
    Picture want;
    D2D1::ColorF col(c.rgb);
    for (const GlowPass& p : kGlowPasses)
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
          float cov = CapsuleCoverage(x, y, c.a, c.b, 0.5f * p.width);
          if (cov == 0) continue;
          float a = p.alpha * cov;
          const float k = p.colorScale;
          want.Blend(x, y, Rgba{col.r * k * a, col.g * k * a, col.b * k * a, a});
        }
    Diff d = Compare(got, want, 24);
    EXPECT_LE(d.largest, 40);
    EXPECT_LE(d.past, 40);
  }
  // Only the halo reaches 3 px from the axis: its scale x 1.0 x its alpha
  // (5 x 1.0 x 0.5) saturates green, while a brush clamped before
  // premultiplying would give half of it.
  const GlowPass& halo = kGlowPasses[0];
  ASSERT_GT(halo.colorScale * halo.alpha, 1.0f);
  auto got = Draw([&] { Glow(0x0FFF00, D2D1::Point2F(20, 40), D2D1::Point2F(120, 40)); });
  const uint8_t* px = &got[((40 + 3) * kW + 70) * 4];
  EXPECT_GE(px[1], 250);
  EXPECT_NEAR(px[0], std::lround(std::min(1.0f, 15.0f / 255 * halo.colorScale * halo.alpha) * 255), 3);
}

TEST_F(PixelsTest, APixelLongRoundCappedLineIsAnEightPixelSpot) {
  auto got = Draw([&] { Glow(0xFFFFFF, D2D1::Point2F(50, 50), D2D1::Point2F(51, 50)); });
  int minX = kW, maxX = -1, minY = kH, maxY = -1;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      if (got[(y * kW + x) * 4] > 100) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
      }
  EXPECT_NEAR(maxX - minX + 1, 9, 1);  // 8 wide plus the pixel of length
  EXPECT_NEAR(maxY - minY + 1, 8, 1);
  // Round, not square: the bounding box's corners stay dark.
  EXPECT_LT(got[(minY * kW + minX) * 4], 100);
  EXPECT_LT(got[(maxY * kW + maxX) * 4], 100);
}

TEST_F(PixelsTest, ShapeCoverageAddsUpToTheShapesArea) {
  const float pi = 3.14159265f;
  struct Case {
    const char* name;
    std::function<void()> draw;
    float area;
  } cases[] = {
      {"fractional rectangle", [&] { target_->FillRectangle(D2D1::RectF(10.5f, 10.25f, 70.75f, 50.5f), brush_); },
       60.25f * 40.25f},
      {"rectangle outline",
       [&] { target_->DrawRectangle(D2D1::RectF(20, 20, 100, 80), brush_, 3.0f); }, 83.0f * 63.0f - 77.0f * 57.0f},
      {"filled circle", [&] { target_->FillEllipse(D2D1::Ellipse(D2D1::Point2F(80, 60), 30, 30), brush_); },
       pi * 900},
      {"filled ellipse", [&] { target_->FillEllipse(D2D1::Ellipse(D2D1::Point2F(80, 60.5f), 50, 20), brush_); },
       pi * 1000},
      {"circle outline", [&] { target_->DrawEllipse(D2D1::Ellipse(D2D1::Point2F(80, 60), 30, 30), brush_, 4.0f); },
       pi * (32 * 32 - 28 * 28)},
      {"flat-capped line", [&] { target_->DrawLine(D2D1::Point2F(10, 30), D2D1::Point2F(110, 30), brush_, 5.0f); },
       500.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    brush_->SetColor(D2D1::ColorF(1, 1, 1, 1));
    auto got = Draw(c.draw);
    double sum = 0;
    for (int i = 0; i < kW * kH; ++i) sum += got[i * 4 + 1] / 255.0;
    EXPECT_NEAR(sum, c.area, c.area * 0.015 + 2.0);
  }
}

TEST_F(PixelsTest, BitmapsScaleClipAndFade) {
  // Column x of the source holds grey level 4x (blue 255 - 4x), so averages show in the result.
  ID2D1Bitmap* bitmap = MakeBitmap(40, 10, [](int x, int, uint8_t* p) {
    p[0] = static_cast<uint8_t>(255 - 4 * x);
    p[1] = p[2] = static_cast<uint8_t>(4 * x);
    p[3] = 255;
  });
  ASSERT_NE(bitmap, nullptr);
  struct Case {
    const char* name;
    D2D1_RECT_F dest;
    bool hasSource;
    D2D1_RECT_F source;
    D2D1_BITMAP_INTERPOLATION_MODE mode;
    float opacity;
    D2D1_RECT_F drawn;                                  // where pixels must land
    std::function<float(float sx)> level;               // expected grey from the source x at the pixel
    std::function<float(int px, const D2D1_RECT_F&)> sx;  // source x for a target pixel
  } cases[] = {
      {"2:1 squeeze, linear", D2D1::RectF(10, 10, 30, 20), false, {}, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, 1.0f,
       D2D1::RectF(10, 10, 30, 20), [](float sx) { return 4 * sx; },
       [](int px, const D2D1_RECT_F& r) { return (px - r.left) * 2 + 0.5f; }},
      {"1:2 stretch, nearest", D2D1::RectF(10, 30, 90, 50), false, {}, D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR,
       1.0f, D2D1::RectF(10, 30, 90, 50), [](float sx) { return 4 * std::floor(sx); },
       [](int px, const D2D1_RECT_F& r) { return (px + 0.5f - r.left) / 2; }},
      {"source beyond the bitmap", D2D1::RectF(20, 60, 100, 80), true, D2D1::RectF(20, 0, 100, 20),
       D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, 1.0f, D2D1::RectF(20, 60, 40, 70),
       [](float sx) { return 4 * std::floor(sx); }, [](int px, const D2D1_RECT_F&) { return px + 0.0f; }},
      {"half opacity", D2D1::RectF(100, 10, 140, 20), false, {}, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, 0.5f,
       D2D1::RectF(100, 10, 140, 20), [](float sx) { return 2 * std::floor(sx); },
       [](int px, const D2D1_RECT_F& r) { return px - r.left; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto got = Draw([&] {
      target_->DrawBitmap(bitmap, c.dest, c.opacity, c.mode, c.hasSource ? &c.source : nullptr);
    });
    int wrong = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const uint8_t* p = &got[(y * kW + x) * 4];
        bool inside = x >= c.drawn.left && x < c.drawn.right && y >= c.drawn.top && y < c.drawn.bottom;
        if (!inside) {
          wrong += p[0] + p[1] + p[2] > 0;
          continue;
        }
        float want = c.level(c.sx(x, c.drawn));
        wrong += std::abs(p[1] - want) > 3;
      }
    EXPECT_EQ(wrong, 0);
  }
  bitmap->Release();
}

// Opaque, pixel-aligned rectangles, sprites and level lines, overlapping in
// a random pile: each pixel must show the last one drawn over it, whatever
// the renderer regroups, also where a transform moves them.
TEST_F(PixelsTest, PaintersOrderHoldsAcrossShapesAndSprites) {
  const D2D1_COLOR_F spriteColor[2] = {D2D1::ColorF(1, 0, 0), D2D1::ColorF(0, 0, 1)};
  ID2D1Bitmap* sprites[2];
  for (int b = 0; b < 2; ++b)
    sprites[b] = MakeBitmap(8, 8, [&](int, int, uint8_t* p) {
      p[0] = static_cast<uint8_t>(spriteColor[b].b * 255);
      p[1] = static_cast<uint8_t>(spriteColor[b].g * 255);
      p[2] = static_cast<uint8_t>(spriteColor[b].r * 255);
      p[3] = 255;
    });
  struct Item {
    int kind;  // 0 rectangle, 1 sprite, 2 line
    int l, t, r, b;
    D2D1_COLOR_F color;
  };
  uint32_t seed = 7;
  auto next = [&](int n) {
    seed = seed * 214013u + 2531011u;
    return static_cast<int>((seed >> 16) % n);
  };
  std::vector<Item> items;
  for (int i = 0; i < 240; ++i) {
    Item it{i % 4 == 3 ? 1 : i % 2 * 2, next(70), next(55), 0, 0, {}};
    it.r = it.l + 8 * (1 + next(4));
    it.b = it.t + (it.kind == 1 ? 8 * (1 + next(4)) : 2 * (1 + next(6)));
    it.color = it.kind == 1 ? spriteColor[i / 4 % 2] : D2D1::ColorF(next(256) / 255.0f, next(256) / 255.0f, 0.5f);
    items.push_back(it);
  }
  for (int scaled = 0; scaled < 2; ++scaled) {
    SCOPED_TRACE(scaled ? "scaled by 2 and moved" : "untransformed");
    const int k = scaled ? 2 : 1, dx = scaled ? 5 : 0, dy = scaled ? 3 : 0;
    auto got = Draw([&] {
      target_->SetTransform(D2D1::Matrix3x2F(k, 0, 0, k, dx, dy));
      for (size_t i = 0; i < items.size(); ++i) {
        const Item& it = items[i];
        const D2D1_RECT_F rect = D2D1::RectF(it.l, it.t, it.r, it.b);
        brush_->SetColor(it.color);
        if (it.kind == 0) target_->FillRectangle(rect, brush_);
        if (it.kind == 1) target_->DrawBitmap(sprites[i / 4 % 2], rect);
        if (it.kind == 2)
          target_->DrawLine(D2D1::Point2F(it.l, 0.5f * (it.t + it.b)), D2D1::Point2F(it.r, 0.5f * (it.t + it.b)),
                            brush_, static_cast<float>(it.b - it.t));
      }
      target_->SetTransform(D2D1::Matrix3x2F::Identity());
    });
    Picture want;
    for (const Item& it : items)
      for (int y = std::max(0, it.t * k + dy); y < std::min(kH, it.b * k + dy); ++y)
        for (int x = std::max(0, it.l * k + dx); x < std::min(kW, it.r * k + dx); ++x)
          want.px[y * kW + x] = Rgba{it.color.r, it.color.g, it.color.b, 1};
    Diff d = Compare(got, want, 1);
    EXPECT_EQ(d.past, 0);
  }
  for (ID2D1Bitmap* b : sprites) b->Release();
}

// A window whose drawable is the picture's size gets the frame directly;
// reading it back draws it again offscreen, after the caller has let go of
// the bitmap it used, and must give what the offscreen path gives.
TEST_F(PixelsTest, APictureSizedWindowReadsBackTheSamePicture) {
  HWND exact = CreateWindowExW(0, L"vx_d2d_pixels", L"exact", WS_SYSMENU, 0, 0, kW + 2 * GetSystemMetrics(SM_CXDLGFRAME),
                               kH + GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYDLGFRAME), nullptr,
                               nullptr, nullptr, nullptr);
  ASSERT_NE(exact, nullptr);
  ID2D1HwndRenderTarget* direct = nullptr;
  ASSERT_EQ(factory_->CreateHwndRenderTarget(D2D1::RenderTargetProperties(),
                                             D2D1::HwndRenderTargetProperties(exact, D2D1::SizeU(kW, kH)), &direct),
            S_OK);
  auto scene = [&](ID2D1RenderTarget* target, ID2D1Bitmap* bitmap) {
    ID2D1SolidColorBrush* brush = nullptr;
    ASSERT_EQ(target->CreateSolidColorBrush(D2D1::ColorF(0x40A0FF), &brush), S_OK);
    target->BeginDraw();
    target->Clear(D2D1::ColorF(0.1f, 0.2f, 0.3f));
    target->DrawBitmap(bitmap, D2D1::RectF(10.5f, 20.25f, 90.5f, 70.25f), 0.8f);
    target->DrawLine(D2D1::Point2F(5, 5), D2D1::Point2F(150, 110), brush, 6.0f, round_);
    target->FillEllipse(D2D1::Ellipse(D2D1::Point2F(120, 40), 25, 15), brush);
    EXPECT_EQ(target->EndDraw(), S_OK);
    brush->Release();
  };
  ID2D1Bitmap* bitmap = MakeBitmap(32, 32, [](int x, int y, uint8_t* p) {
    p[0] = static_cast<uint8_t>(x * 8);
    p[1] = static_cast<uint8_t>(y * 8);
    p[2] = 200;
    p[3] = 255;
  });
  scene(target_, bitmap);
  std::vector<uint8_t> want, got;
  ASSERT_TRUE(vxtest::ReadWindowPixels(hwnd_, want, nullptr, nullptr));
  scene(direct, bitmap);
  bitmap->Release();  // the direct target still holds it for the read-back
  ASSERT_TRUE(vxtest::ReadWindowPixels(exact, got, nullptr, nullptr));
  EXPECT_EQ(got, want);
  direct->Release();
  DestroyWindow(exact);
}

TEST_F(PixelsTest, JapaneseTextLightsItsBandOnly) {
  IDWriteFactory* dwrite = nullptr;
  ASSERT_EQ(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                reinterpret_cast<IUnknown**>(&dwrite)),
            S_OK);
  IDWriteTextFormat* format = nullptr;
  ASSERT_EQ(dwrite->CreateTextFormat(L"メイリオ", nullptr, DWRITE_FONT_WEIGHT_BLACK, DWRITE_FONT_STYLE_NORMAL,
                                     DWRITE_FONT_STRETCH_EXTRA_EXPANDED, 28.0f, L"", &format),
            S_OK);
  format->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
  auto got = Draw([&] {
    brush_->SetColor(D2D1::ColorF(0xFFFF00));
    target_->DrawText(L"全滅した", 4, format, D2D1::RectF(0, 40, kW, 50), brush_);
  });
  int inBand = 0, outside = 0, blue = 0, minX = kW, maxX = -1;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const uint8_t* p = &got[(y * kW + x) * 4];
      blue += p[2] > 8;
      if (p[0] < 64) continue;
      bool band = y >= 40 && y < 40 + 28 * 1.5;
      inBand += band;
      outside += !band;
      minX = std::min(minX, x);
      maxX = std::max(maxX, x);
    }
  EXPECT_GT(inBand, 4 * 28 * 28 / 6);
  EXPECT_EQ(outside, 0);
  EXPECT_EQ(blue, 0);  // yellow text on black
  EXPECT_NEAR((minX + maxX + 1) / 2.0, kW / 2.0, 4.0);  // centred across the rectangle
  format->Release();
  dwrite->Release();
}

TEST_F(PixelsTest, FadeGradientIsClearAtTheEndsAndFullInTheMiddle) {
  D2D1_GRADIENT_STOP stops[] = {{0.0f, D2D1::ColorF(1, 1, 1, 0)}, {0.5f, D2D1::ColorF(1, 1, 1, 1)},
                                {1.0f, D2D1::ColorF(1, 1, 1, 0)}};
  ID2D1GradientStopCollection* collection = nullptr;
  ASSERT_EQ(target_->CreateGradientStopCollection(stops, 3, &collection), S_OK);
  ID2D1LinearGradientBrush* fade = nullptr;
  ASSERT_EQ(target_->CreateLinearGradientBrush(
                D2D1::LinearGradientBrushProperties(D2D1::Point2F(0, 0), D2D1::Point2F(60, 0)), collection, &fade),
            S_OK);
  auto got = Draw([&] { target_->FillRectangle(D2D1::RectF(0, 0, 100, 10), fade); });
  struct Probe {
    int x, level;
  } probes[] = {{0, 2}, {15, 128}, {30, 255}, {45, 128}, {59, 2}, {80, 0}};
  for (const Probe& p : probes) EXPECT_NEAR(got[(5 * kW + p.x) * 4], p.level, 10) << p.x;
  fade->Release();
  collection->Release();
}

TEST_F(PixelsTest, LostTargetIsReportedOnceAndWarmFramesAllocateNothing) {
  ID2D1Bitmap* bitmap = MakeBitmap(16, 16, [](int, int, uint8_t* p) { p[0] = p[1] = p[2] = p[3] = 255; });
  IDWriteFactory* dwrite = nullptr;
  ASSERT_EQ(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                reinterpret_cast<IUnknown**>(&dwrite)),
            S_OK);
  IDWriteTextFormat* format = nullptr;
  ASSERT_EQ(dwrite->CreateTextFormat(L"メイリオ", nullptr, DWRITE_FONT_WEIGHT_BOLD, DWRITE_FONT_STYLE_NORMAL,
                                     DWRITE_FONT_STRETCH_NORMAL, 16.0f, L"", &format),
            S_OK);
  auto frame = [&] {
    target_->BeginDraw();
    target_->Clear(D2D1::ColorF(0, 0, 0, 1));
    for (int i = 0; i < 500; ++i) {
      Glow(0x40A0FF, D2D1::Point2F(i % kW, 10), D2D1::Point2F(i % kW + 5, 30));
      target_->DrawBitmap(bitmap, D2D1::RectF(i % kW, 50, i % kW + 16, 66));
    }
    target_->DrawText(L"企画・制作", 5, format, D2D1::RectF(0, 80, kW, 90), brush_);
    return target_->EndDraw();
  };
  ASSERT_EQ(frame(), S_OK);
  vxtest::FailNextEndDraw(target_);
  EXPECT_EQ(frame(), D2DERR_RECREATE_TARGET);
  ASSERT_EQ(frame(), S_OK);
  uint64_t before = support::AllocationsSoFar();
  ASSERT_EQ(frame(), S_OK);
  EXPECT_EQ(support::AllocationsSoFar() - before, 0u);
  format->Release();
  dwrite->Release();
  bitmap->Release();
}

TEST(PixelsNoWindow, TargetOnADeadHandleFailsCleanly) {
  vxtest::UseRecordingTargets(false);
  ID2D1Factory* factory = nullptr;
  ASSERT_EQ(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, &factory), S_OK);
  ID2D1HwndRenderTarget* target = nullptr;
  HWND bogus = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7654321));
  HRESULT hr = factory->CreateHwndRenderTarget(D2D1::RenderTargetProperties(),
                                               D2D1::HwndRenderTargetProperties(bogus, D2D1::SizeU(600, 720)), &target);
  EXPECT_TRUE(FAILED(hr));
  EXPECT_EQ(target, nullptr);
  std::vector<uint8_t> rgba;
  EXPECT_FALSE(vxtest::ReadWindowPixels(bogus, rgba, nullptr, nullptr));
  factory->Release();
}

}  // namespace
