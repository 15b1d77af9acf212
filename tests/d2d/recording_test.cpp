// Direct2D resources and the recording render target: calls kept as data,
// the BeginDraw/EndDraw protocol, bitmap creation limits, no allocation once warm.
#include <d2d1.h>
#include <dwrite.h>
#include <gtest/gtest.h>
#include <wincodec.h>

#include <cmath>
#include <string>

#include "alloc_counter.h"
#include "memory_source.h"
#include "vx_testing.h"

namespace {

using vxtest::Command;
using vxtest::Op;

class RecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(D2D1CreateFactory(D2D1_FACTORY_TYPE_MULTI_THREADED, &factory_), S_OK);
    vxtest::UseRecordingTargets(true);
    ASSERT_EQ(factory_->CreateHwndRenderTarget(D2D1::RenderTargetProperties(),
                                               D2D1::HwndRenderTargetProperties(nullptr, D2D1::SizeU(600, 720)),
                                               &target_),
              S_OK);
    ASSERT_EQ(target_->CreateSolidColorBrush(D2D1::ColorF(0, 0, 0, 1), &brush_), S_OK);
    D2D1_STROKE_STYLE_PROPERTIES round = D2D1::StrokeStyleProperties(D2D1_CAP_STYLE_ROUND, D2D1_CAP_STYLE_ROUND);
    ASSERT_EQ(factory_->CreateStrokeStyle(round, nullptr, 0, &stroke_), S_OK);
  }
  void TearDown() override {
    if (format_) format_->Release();
    if (dwrite_) dwrite_->Release();
    if (stroke_) stroke_->Release();
    if (brush_) brush_->Release();
    if (target_) target_->Release();
    if (factory_) factory_->Release();
    vxtest::UseRecordingTargets(false);
  }
  // The game's large text format, made once per test; null (with a failure) if it cannot be.
  IDWriteTextFormat* Format() {
    if (format_) return format_;
    EXPECT_EQ(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                  reinterpret_cast<IUnknown**>(&dwrite_)),
              S_OK);
    if (dwrite_) {
      EXPECT_EQ(dwrite_->CreateTextFormat(L"メイリオ", nullptr, DWRITE_FONT_WEIGHT_BLACK, DWRITE_FONT_STYLE_NORMAL,
                                          DWRITE_FONT_STRETCH_EXTRA_EXPANDED, 56.0f, L"", &format_),
                S_OK);
    }
    return format_;
  }

  ID2D1Factory* factory_ = nullptr;
  ID2D1HwndRenderTarget* target_ = nullptr;
  ID2D1SolidColorBrush* brush_ = nullptr;
  ID2D1StrokeStyle* stroke_ = nullptr;
  IDWriteFactory* dwrite_ = nullptr;
  IDWriteTextFormat* format_ = nullptr;
};

TEST_F(RecordingTest, GlowPassesAreKeptAsCalledWithChannelsAboveOne) {
  struct Pass {
    float scale, alpha, width;
  } passes[] = {{5.0f, 0.5f, 8.0f}, {1.0f, 0.7f, 4.0f}, {1.0f, 1.0f, 2.0f}};
  const D2D1::ColorF base(0x0FFF00);
  target_->BeginDraw();
  target_->Clear(D2D1::ColorF(0, 0, 0, 1));
  for (const Pass& p : passes) {
    brush_->SetColor(D2D1::ColorF(base.r * p.scale, base.g * p.scale, base.b * p.scale, p.alpha));
    target_->DrawLine(D2D1::Point2F(10, 20), D2D1::Point2F(30, 40), brush_, p.width, stroke_);
  }
  EXPECT_EQ(vxtest::CurrentFrame(target_).size(), 4u);
  ASSERT_EQ(target_->EndDraw(), S_OK);
  const auto& frame = vxtest::LastFrame(target_);
  ASSERT_EQ(frame.size(), 4u);
  EXPECT_EQ(frame[0].op, Op::Clear);
  EXPECT_EQ(frame[0].color.a, 1.0f);
  for (size_t i = 0; i < 3; ++i) {
    const Command& c = frame[i + 1];
    EXPECT_EQ(c.op, Op::DrawLine);
    EXPECT_FLOAT_EQ(c.color.g, passes[i].scale);
    EXPECT_FLOAT_EQ(c.color.r, 15.0f / 255.0f * passes[i].scale);
    EXPECT_FLOAT_EQ(c.color.a, passes[i].alpha);
    EXPECT_EQ(c.strokeWidth, passes[i].width);
    EXPECT_EQ(c.stroke, stroke_);
    EXPECT_EQ(c.p1.y, 40.0f);
  }
  EXPECT_EQ(brush_->GetColor().g, 1.0f);
  EXPECT_EQ(stroke_->GetStartCap(), D2D1_CAP_STYLE_ROUND);
  EXPECT_EQ(stroke_->GetDashCap(), D2D1_CAP_STYLE_FLAT);
  EXPECT_EQ(stroke_->GetMiterLimit(), 10.0f);
  EXPECT_EQ(vxtest::FramesDrawn(target_), 1u);
}

TEST_F(RecordingTest, BitmapAndTextCallsKeepTheirArguments) {
  std::vector<uint8_t> pixels(4 * 3 * 4, 0x80);
  auto* source = new support::MemorySource(4, 3, pixels);
  ID2D1Bitmap* bitmap = nullptr;
  ASSERT_EQ(target_->CreateBitmapFromWicBitmap(source, &bitmap), S_OK);
  source->Release();
  IDWriteTextFormat* format = Format();
  ASSERT_NE(format, nullptr);
  std::wstring longText(200, L'字');

  target_->BeginDraw();
  target_->DrawBitmap(bitmap, D2D1::RectF(0, 0, 600, 768), 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                      D2D1::RectF(600, 0, 1800, 768));
  target_->DrawBitmap(bitmap);
  format->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
  target_->DrawText(longText.c_str(), static_cast<UINT32>(longText.size()), format, D2D1::RectF(0, 280, 600, 300),
                    brush_);
  format->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_LEADING);
  ASSERT_EQ(target_->EndDraw(), S_OK);

  const auto& frame = vxtest::LastFrame(target_);
  ASSERT_EQ(frame.size(), 3u);
  EXPECT_EQ(frame[0].bitmap, bitmap);
  EXPECT_TRUE(frame[0].hasSource);
  EXPECT_EQ(frame[0].source.right, 1800.0f);
  EXPECT_EQ(frame[0].rect.bottom, 768.0f);
  EXPECT_FALSE(frame[1].hasSource);
  EXPECT_EQ(frame[1].rect.right, 4.0f);  // no destination: the bitmap's own size
  EXPECT_EQ(frame[2].op, Op::DrawText);
  EXPECT_EQ(frame[2].alignment, DWRITE_TEXT_ALIGNMENT_CENTER);
  EXPECT_EQ(frame[2].textLength, 200u);
  EXPECT_EQ(frame[2].text[126], L'字');
  EXPECT_EQ(frame[2].text[127], 0);
  EXPECT_EQ(frame[2].rect.top, 280.0f);
  bitmap->Release();
}

TEST_F(RecordingTest, DrawingProtocolIsValidated) {
  // EndDraw with no BeginDraw.
  EXPECT_EQ(target_->EndDraw(), D2DERR_WRONG_STATE);
  // A draw outside a frame spoils the next EndDraw, and is not recorded.
  target_->DrawLine(D2D1::Point2F(0, 0), D2D1::Point2F(1, 1), brush_);
  target_->BeginDraw();
  EXPECT_TRUE(vxtest::CurrentFrame(target_).empty());
  EXPECT_EQ(target_->EndDraw(), D2DERR_WRONG_STATE);
  // A second BeginDraw while drawing spoils the frame too.
  target_->BeginDraw();
  target_->BeginDraw();
  EXPECT_EQ(target_->EndDraw(), D2DERR_WRONG_STATE);
  // An armed failure reports a lost target once.
  vxtest::FailNextEndDraw(target_);
  target_->BeginDraw();
  EXPECT_EQ(target_->EndDraw(), D2DERR_RECREATE_TARGET);
  target_->BeginDraw();
  EXPECT_EQ(target_->EndDraw(), S_OK);
  EXPECT_EQ(vxtest::FramesDrawn(target_), 4u);

  vxtest::FailNextRenderTargetCreation(E_OUTOFMEMORY);
  ID2D1HwndRenderTarget* second = nullptr;
  auto props = D2D1::HwndRenderTargetProperties(nullptr, D2D1::SizeU(600, 720));
  EXPECT_EQ(factory_->CreateHwndRenderTarget(D2D1::RenderTargetProperties(), props, &second), E_OUTOFMEMORY);
  EXPECT_EQ(second, nullptr);
  ASSERT_EQ(factory_->CreateHwndRenderTarget(D2D1::RenderTargetProperties(), props, &second), S_OK);
  EXPECT_EQ(second->GetPixelSize().height, 720u);
  second->Release();
}

TEST_F(RecordingTest, BitmapsComeOnlyFromBoundedPremultipliedSources) {
  struct Case {
    UINT w, h;
    GUID format;
    HRESULT copy;
    HRESULT expected;
    bool copied;
  } cases[] = {
      {3, 2, GUID_WICPixelFormat32bppPBGRA, S_OK, S_OK, true},
      {0, 0, GUID_WICPixelFormat32bppPBGRA, S_OK, S_OK, false},
      {3, 2, GUID_WICPixelFormat32bppBGRA, S_OK, D2DERR_UNSUPPORTED_PIXEL_FORMAT, false},
      {3, 2, GUID_WICPixelFormat24bppRGB, S_OK, D2DERR_UNSUPPORTED_PIXEL_FORMAT, false},
      {16385, 1, GUID_WICPixelFormat32bppPBGRA, S_OK, D2DERR_MAX_TEXTURE_SIZE_EXCEEDED, false},
      {1, 70000, GUID_WICPixelFormat32bppPBGRA, S_OK, D2DERR_MAX_TEXTURE_SIZE_EXCEEDED, false},
      {3, 2, GUID_WICPixelFormat32bppPBGRA, WINCODEC_ERR_BADIMAGE, WINCODEC_ERR_BADIMAGE, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " expecting " << std::hex << c.expected);
    bool small = static_cast<uint64_t>(c.w) * c.h < 100;
    std::vector<uint8_t> pixels(small ? c.w * c.h * 4 : 0);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7);
    auto* source = new support::MemorySource(c.w, c.h, pixels, c.format);
    source->copyResult = c.copy;
    ID2D1Bitmap* bitmap = reinterpret_cast<ID2D1Bitmap*>(1);
    EXPECT_EQ(target_->CreateBitmapFromWicBitmap(source, nullptr, &bitmap), c.expected);
    EXPECT_EQ(source->copies > 0, c.copied);
    if (SUCCEEDED(c.expected)) {
      ASSERT_NE(bitmap, nullptr);
      std::vector<uint8_t> read;
      int w = -1, h = -1;
      ASSERT_TRUE(vxtest::ReadBitmapPixels(bitmap, read, &w, &h));
      EXPECT_EQ(read, pixels);
      EXPECT_EQ(w, static_cast<int>(c.w));
      EXPECT_EQ(bitmap->GetPixelSize().height, c.h);
      EXPECT_EQ(bitmap->GetSize().width, static_cast<float>(c.w));
      bitmap->Release();
    } else {
      EXPECT_EQ(bitmap, nullptr);
    }
    source->Release();
  }
}

TEST_F(RecordingTest, WarmFramesAllocateNothing) {
  std::vector<uint8_t> pixels(16 * 16 * 4, 0xFF);
  auto* source = new support::MemorySource(16, 16, pixels);
  ID2D1Bitmap* bitmap = nullptr;
  ASSERT_EQ(target_->CreateBitmapFromWicBitmap(source, &bitmap), S_OK);
  source->Release();
  IDWriteTextFormat* format = Format();
  ASSERT_NE(format, nullptr);
  auto frame = [&] {
    target_->BeginDraw();
    target_->Clear(D2D1::ColorF(0, 0, 0, 1));
    for (int i = 0; i < 3000; ++i) {
      brush_->SetColor(D2D1::ColorF(5.0f, 0.2f, 0.0f, 0.5f));
      target_->DrawLine(D2D1::Point2F(i % 600, 10), D2D1::Point2F(i % 600, 30), brush_, 8.0f, stroke_);
      target_->DrawBitmap(bitmap, D2D1::RectF(0, 0, 16, 16), 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                          D2D1::RectF(0, 0, 16, 16));
    }
    target_->FillEllipse(D2D1::Ellipse(D2D1::Point2F(50, 50), 10, 10), brush_);
    target_->DrawText(L"GAME CLEAR", 10, format, D2D1::RectF(0, 0, 600, 20), brush_);
    return target_->EndDraw();
  };
  ASSERT_EQ(frame(), S_OK);
  ASSERT_EQ(frame(), S_OK);
  uint64_t before = support::AllocationsSoFar();
  ASSERT_EQ(frame(), S_OK);
  EXPECT_EQ(support::AllocationsSoFar() - before, 0u);
  const auto& last = vxtest::LastFrame(target_);
  ASSERT_EQ(last.size(), 6003u);
  EXPECT_EQ(last.back().op, Op::DrawText);
  EXPECT_EQ(std::wstring(last.back().text), L"GAME CLEAR");
  bitmap->Release();
}

TEST(D2DMath, RotationMatrixTurnsClockwiseOnScreen) {
  struct Case {
    float angle, cx, cy, x, y, ex, ey;
  } cases[] = {
      {90, 0, 0, 1, 0, 0, 1},   {0, 0, 0, 3, -2, 3, -2},  {180, 0, 0, 1, 2, -1, -2},
      {90, 10, 10, 11, 10, 10, 11}, {-90, 0, 0, 0, 1, 1, 0}, {45, 0, 0, 1, 0, 0.70710678f, 0.70710678f},
  };
  for (const Case& c : cases) {
    D2D1_MATRIX_3X2_F m;
    D2D1MakeRotateMatrix(c.angle, D2D1::Point2F(c.cx, c.cy), &m);
    D2D1_POINT_2F p = D2D1::Matrix3x2F::ReinterpretBaseType(&m)->TransformPoint(D2D1::Point2F(c.x, c.y));
    EXPECT_NEAR(p.x, c.ex, 1e-5) << c.angle;
    EXPECT_NEAR(p.y, c.ey, 1e-5) << c.angle;
  }
}

TEST(D2DFactory, RejectsBadArguments) {
  ID2D1Factory* factory = nullptr;
  EXPECT_EQ(D2D1CreateFactory(static_cast<D2D1_FACTORY_TYPE>(7), &factory), E_INVALIDARG);
  EXPECT_EQ(factory, nullptr);
  void* unknown = nullptr;
  EXPECT_EQ(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(IDWriteFactory), nullptr, &unknown),
            E_NOINTERFACE);
  ASSERT_EQ(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, &factory), S_OK);
  ID2D1StrokeStyle* stroke = nullptr;
  float dashes[2] = {1, 2};
  EXPECT_EQ(factory->CreateStrokeStyle(D2D1::StrokeStyleProperties(), dashes, 2, &stroke), E_INVALIDARG);
  EXPECT_EQ(factory->CreateStrokeStyle(
                D2D1::StrokeStyleProperties(D2D1_CAP_STYLE_FLAT, D2D1_CAP_STYLE_FLAT, D2D1_CAP_STYLE_FLAT,
                                            D2D1_LINE_JOIN_MITER, 10.0f, D2D1_DASH_STYLE_CUSTOM),
                dashes, 2, &stroke),
            S_OK);
  ASSERT_NE(stroke, nullptr);
  ID2D1Factory* owner = nullptr;
  stroke->GetFactory(&owner);
  EXPECT_EQ(owner, factory);
  owner->Release();
  stroke->Release();
  EXPECT_EQ(factory->Release(), 0u);
}

}  // namespace
