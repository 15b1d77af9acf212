// DirectWrite on fontconfig and FreeType: face fallback, format state and layout.
#include <d2d1.h>
#include <dwrite.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "alloc_counter.h"
#include "vx_text.h"

namespace {

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                  reinterpret_cast<IUnknown**>(&factory_)),
              S_OK);
  }
  void TearDown() override {
    for (IDWriteTextFormat* f : formats_) f->Release();
    factory_->Release();
  }
  IDWriteTextFormat* Format(const wchar_t* family, DWRITE_FONT_WEIGHT weight, DWRITE_FONT_STRETCH stretch,
                            float size) {
    IDWriteTextFormat* f = nullptr;
    EXPECT_EQ(factory_->CreateTextFormat(family, nullptr, weight, DWRITE_FONT_STYLE_NORMAL, stretch, size, L"", &f),
              S_OK);
    if (f) formats_.push_back(f);
    return f;
  }

  struct Box {
    float left = 1e9f, top = 1e9f, right = -1e9f, bottom = -1e9f;
  };
  static Box Bounds(const std::vector<VxPlacedGlyph>& glyphs) {
    Box b;
    for (const VxPlacedGlyph& g : glyphs) {
      b.left = std::min(b.left, g.left);
      b.top = std::min(b.top, g.top);
      b.right = std::max(b.right, g.left + g.glyph->width);
      b.bottom = std::max(b.bottom, g.top + g.glyph->height);
    }
    return b;
  }

  IDWriteFactory* factory_ = nullptr;
  std::vector<IDWriteTextFormat*> formats_;
};

TEST_F(TextTest, FormatKeepsItsSettingsAndName) {
  IDWriteTextFormat* f = Format(L"メイリオ", DWRITE_FONT_WEIGHT_BLACK, DWRITE_FONT_STRETCH_EXTRA_EXPANDED, 56.0f);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->GetFontWeight(), DWRITE_FONT_WEIGHT_BLACK);
  EXPECT_EQ(f->GetFontStretch(), DWRITE_FONT_STRETCH_EXTRA_EXPANDED);
  EXPECT_EQ(f->GetFontSize(), 56.0f);
  EXPECT_EQ(f->GetTextAlignment(), DWRITE_TEXT_ALIGNMENT_LEADING);
  EXPECT_EQ(f->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER), S_OK);
  EXPECT_EQ(f->SetTextAlignment(static_cast<DWRITE_TEXT_ALIGNMENT>(9)), E_INVALIDARG);
  EXPECT_EQ(f->GetTextAlignment(), DWRITE_TEXT_ALIGNMENT_CENTER);
  ASSERT_EQ(f->GetFontFamilyNameLength(), 4u);
  WCHAR name[5];
  EXPECT_EQ(f->GetFontFamilyName(name, 5), S_OK);
  EXPECT_EQ(std::wstring(name), L"メイリオ");
  EXPECT_TRUE(FAILED(f->GetFontFamilyName(name, 4)));

  IDWriteTextFormat* bad = reinterpret_cast<IDWriteTextFormat*>(1);
  EXPECT_EQ(factory_->CreateTextFormat(L"x", nullptr, DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STYLE_NORMAL,
                                       DWRITE_FONT_STRETCH_NORMAL, 0.0f, L"", &bad),
            E_INVALIDARG);
  EXPECT_EQ(bad, nullptr);
}

TEST_F(TextTest, MissingFamilyFallsBackToAJapaneseFace) {
  // Neither family is installed here; both must still render kana and kanji,
  // which the not-defined glyph (shared by all unmapped characters) would not.
  for (const wchar_t* family : {L"メイリオ", L"No Such Family 12345"}) {
    IDWriteTextFormat* f = Format(family, DWRITE_FONT_WEIGHT_BOLD, DWRITE_FONT_STRETCH_NORMAL, 16.0f);
    ASSERT_NE(f, nullptr);
    std::vector<VxPlacedGlyph> glyphs;
    const wchar_t text[] = L"あ敵\U0010FFFD";
    ASSERT_TRUE(VxLayoutText(f, text, 3, D2D1::RectF(0, 0, 300, 20), glyphs));
    ASSERT_EQ(glyphs.size(), 3u);
    EXPECT_NE(glyphs[0].glyph, glyphs[2].glyph);
    EXPECT_NE(glyphs[1].glyph, glyphs[2].glyph);
    EXPECT_NE(glyphs[0].glyph, glyphs[1].glyph);
    int lit = 0;
    for (int i = 0; i < glyphs[0].glyph->width * glyphs[0].glyph->height; ++i) lit += glyphs[0].glyph->coverage[i] > 128;
    EXPECT_GT(lit, 10);
  }
}

TEST_F(TextTest, LinesAreAlignedAcrossTheRectangleAndStackedDownFromItsTop) {
  IDWriteTextFormat* f = Format(L"メイリオ", DWRITE_FONT_WEIGHT_BLACK, DWRITE_FONT_STRETCH_EXTRA_EXPANDED, 56.0f);
  ASSERT_NE(f, nullptr);
  const D2D1_RECT_F rect = D2D1::RectF(0, 280, 600, 300);
  const std::wstring text = L"ミストラーク\nのV-KITE ZA-157が\n敵対抗勢力圏内突破！";
  const DWRITE_TEXT_ALIGNMENT alignments[] = {DWRITE_TEXT_ALIGNMENT_LEADING, DWRITE_TEXT_ALIGNMENT_CENTER,
                                              DWRITE_TEXT_ALIGNMENT_TRAILING};
  float firstLeft[3][3];  // [alignment][line]: where the line's first glyph lands
  std::vector<VxPlacedGlyph> glyphs;
  for (int a = 0; a < 3; ++a) {
    SCOPED_TRACE(a);
    f->SetTextAlignment(alignments[a]);
    glyphs.clear();
    ASSERT_TRUE(VxLayoutText(f, text.c_str(), static_cast<UINT32>(text.size()), rect, glyphs));
    // Split the glyphs by line: the layout emits them in text order.
    std::vector<std::vector<VxPlacedGlyph>> lines(1);
    size_t next = 0;
    for (wchar_t ch : text) {
      if (ch == L'\n') {
        lines.emplace_back();
        continue;
      }
      if (ch == L' ') continue;  // a space has no raster
      ASSERT_LT(next, glyphs.size());
      lines.back().push_back(glyphs[next++]);
    }
    EXPECT_EQ(next, glyphs.size());
    ASSERT_EQ(lines.size(), 3u);
    float previousTop = -1e9f;
    for (int l = 0; l < 3; ++l) {
      Box b = Bounds(lines[l]);
      EXPECT_GT(b.top, previousTop + 40.0f);  // each line lower by about a line height
      previousTop = b.top;
      EXPECT_GE(b.left, 0.0f);
      EXPECT_LE(b.right, 600.0f);
      firstLeft[a][l] = lines[l][0].left;
    }
    Box all = Bounds(glyphs);
    EXPECT_GE(all.top, 280.0f);  // the first line starts at the rectangle's top
    EXPECT_LT(all.top, 280.0f + 20.0f);
    EXPECT_GT(all.bottom, 300.0f + 56.0f * 2);  // and the text runs on below it, unclipped
    EXPECT_LT(all.bottom, 280.0f + 56.0f * 1.6f * 3);
  }
  for (int l = 0; l < 3; ++l) {
    SCOPED_TRACE(l);
    // Leading starts at the left edge; centring moves a line by half of what trailing does.
    EXPECT_LT(firstLeft[0][l], 8.0f);
    float slack = firstLeft[2][l] - firstLeft[0][l];
    EXPECT_GT(slack, 0.0f);
    EXPECT_NEAR(firstLeft[1][l] - firstLeft[0][l], slack / 2, 1.0f);
  }
  // The longest line is the first to need all 600 pixels: leading and trailing differ most there.
  EXPECT_LT(firstLeft[2][2] - firstLeft[0][2], firstLeft[2][0] - firstLeft[0][0]);
}

TEST_F(TextTest, GlyphsAreCachedAndWarmLayoutAllocatesNothing) {
  IDWriteTextFormat* f = Format(L"メイリオ", DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STRETCH_NORMAL, 24.0f);
  ASSERT_NE(f, nullptr);
  const wchar_t* text = L"企画・制作\nGAME CLEAR";
  std::vector<VxPlacedGlyph> first, again;
  again.reserve(64);
  ASSERT_TRUE(VxLayoutText(f, text, static_cast<UINT32>(wcslen(text)), D2D1::RectF(0, 0, 600, 20), first));
  uint64_t before = support::AllocationsSoFar();
  ASSERT_TRUE(VxLayoutText(f, text, static_cast<UINT32>(wcslen(text)), D2D1::RectF(0, 0, 600, 20), again));
  EXPECT_EQ(support::AllocationsSoFar() - before, 0u);
  ASSERT_EQ(first.size(), again.size());
  for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(first[i].glyph, again[i].glyph);
  // Another format with the same face and size shares the cache.
  IDWriteTextFormat* same = Format(L"メイリオ", DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STRETCH_NORMAL, 24.0f);
  again.clear();
  ASSERT_TRUE(VxLayoutText(same, text, 1, D2D1::RectF(0, 0, 600, 20), again));
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].glyph, first[0].glyph);
  // A format that is not ours is refused.
  EXPECT_FALSE(VxLayoutText(nullptr, text, 1, D2D1::RectF(0, 0, 1, 1), again));
}

}  // namespace
