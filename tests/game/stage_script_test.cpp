#include <gtest/gtest.h>

#include <cwchar>

#include "app/shell.h"
#include "game/stage_script.h"
#include "game/tables.h"
#include "game_fixture.h"

namespace {

TEST(StageScript, BackgroundSpeedFollowsTheClockAndWrapsWithoutCarry) {
  const struct {
    float clock, scrollA, scrollB;
    float drawnA, drawnB;  // offsets the layers are drawn at
    float afterA, afterB;
  } cases[] = {
      {0.0f, 10.0f, 20.0f, 10.0f, 20.0f, 10.0f, 20.0f},
      {1000.0f, 10.0f, 20.0f, 12.0f, 24.0f, 12.0f, 24.0f},
      {1000.0f, 767.0f, 765.0f, 769.0f, 769.0f, 0.0f, 0.0f},
      {1000.0f, 765.0f, 763.0f, 767.0f, 767.0f, 767.0f, 767.0f},
  };
  Recorder& rec = TheRecorder();
  for (const auto& c : cases) {
    ResetWholeGame();
    g_stageClock = c.clock;
    g_scrollA = c.scrollA;
    g_scrollB = c.scrollB;
    rec.BeginFrame();
    ScrollAndDrawBackground(rec.target);
    const auto draws = OfKind(rec.Commands(), vxtest::Op::DrawBitmap);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].bitmap, g_backgroundBitmap);
    EXPECT_TRUE(SameRect(draws[0].rect, 0, c.drawnA - 768, 600, c.drawnA + 768)) << "clock " << c.clock;
    EXPECT_TRUE(SameRect(draws[0].source, 0, 0, 600, 1536));
    EXPECT_TRUE(SameRect(draws[1].rect, 0, c.drawnB - 768, 600, c.drawnB + 768)) << "clock " << c.clock;
    EXPECT_TRUE(SameRect(draws[1].source, 0, 1536, 600, 3072));
    EXPECT_EQ(g_scrollA, c.afterA);
    EXPECT_EQ(g_scrollB, c.afterB);
  }
  // Late in the stage the double-precision product matters: 14299 * 0.002 in
  // float arithmetic would round differently from the double product.
  ResetWholeGame();
  g_stageClock = 14299.0f;
  rec.BeginFrame();
  ScrollAndDrawBackground(rec.target);
  EXPECT_EQ(g_scrollA, static_cast<float>(14299.0 * 0.002));
  EXPECT_EQ(g_scrollB, static_cast<float>(14299.0 * 0.004));
}

TEST(StageScript, MusicCuesPlayOnceEachPerPass) {
  ResetWholeGame();
  const struct {
    float clock;
    const wchar_t* name;
  } expected[] = {{10, L"bgm001"}, {2500, L"bgm002"}, {5000, L"bgm003"},
                  {7500, L"bgm001"}, {10000, L"bgm002"}, {12500, L"bgm003"}};
  size_t next = 0;
  for (int c = 0; c < 14300; ++c) {
    ClearSounds();
    g_stageClock = static_cast<float>(c);
    PlayMusicCues();
    if (next < 6 && expected[next].clock == g_stageClock) {
      ASSERT_EQ(Sounds().count, 1) << "clock " << c;
      EXPECT_STREQ(Sounds().names[0], expected[next].name);
      ++next;
    } else {
      ASSERT_EQ(Sounds().count, 0) << "clock " << c;
    }
  }
  EXPECT_EQ(next, 6u);
}

TEST(StageScript, TextsAndPicturesShowInTheirWindowsAndTheClockWraps) {
  const wchar_t* kTexts[3] = {L"ミストラーク\nのV-KITE ZA-157が\n敵対抗勢力圏内突破！",
                              L"敵帝国軍戦闘機\nVIDO4ZOROZUを\n全滅した！\nGAME CLEAR\nOVER ALL",
                              L"企画・制作\nグラフィック・BGM\nプログラム\nMORLUNE\nTAVEN OKO"};
  const struct {
    float clock;
    int firstText, lastText;  // -1: none
    bool picture;
    float clockAfter;
  } cases[] = {
      {0, -1, -1, true, 1},           {99, -1, -1, true, 100},        {100, -1, -1, false, 101},
      {13499, -1, -1, false, 13500},  {13500, 0, 0, false, 13501},    {13700, 0, 1, false, 13701},
      {13701, 1, 1, false, 13702},    {13900, 1, 2, false, 13901},    {14099, 2, 2, false, 14100},
      {14100, 2, 2, true, 14101},     {14101, -1, -1, true, 14102},   {14299, -1, -1, true, 0},
  };
  Recorder& rec = TheRecorder();
  for (const auto& c : cases) {
    ResetWholeGame();
    g_stageClock = c.clock;
    rec.BeginFrame();
    DrawClosingTexts(rec.target);
    DrawPictureAndAdvanceClock(rec.target);
    EXPECT_EQ(g_stageClock, c.clockAfter) << "clock " << c.clock;
    const auto& cmds = rec.Commands();
    const auto texts = OfKind(cmds, vxtest::Op::DrawText);
    const int textCount = c.firstText < 0 ? 0 : c.lastText - c.firstText + 1;
    ASSERT_EQ(static_cast<int>(texts.size()), textCount) << "clock " << c.clock;
    for (int i = 0; i < textCount; ++i) {
      const vxtest::Command& t = texts[i];
      const wchar_t* want = kTexts[c.firstText + i];
      EXPECT_EQ(t.textLength, std::wcslen(want));
      EXPECT_EQ(std::wcsncmp(t.text, want, 127), 0) << "clock " << c.clock;
      EXPECT_EQ(t.format, g_largeTextFormat);
      EXPECT_EQ(t.alignment, DWRITE_TEXT_ALIGNMENT_CENTER);
      EXPECT_TRUE(SameRect(t.rect, 0, 280, 600, 300));
      EXPECT_EQ(t.color.r, 1.0f);
      EXPECT_EQ(t.color.g, 1.0f);
      EXPECT_EQ(t.color.b, 0.0f);
      EXPECT_EQ(t.color.a, 1.0f);
    }
    const auto pictures = OfKind(cmds, vxtest::Op::DrawBitmap);
    ASSERT_EQ(pictures.size(), c.picture ? 1u : 0u) << "clock " << c.clock;
    if (c.picture) {
      EXPECT_EQ(cmds.back().op, vxtest::Op::DrawBitmap) << "the picture lies over the texts";
      EXPECT_EQ(pictures[0].bitmap, g_backgroundBitmap);
      EXPECT_TRUE(SameRect(pictures[0].rect, 0, 0, 600, 768));
      EXPECT_TRUE(SameRect(pictures[0].source, 600, 0, 1800, 768));
    }
  }
}

}  // namespace
