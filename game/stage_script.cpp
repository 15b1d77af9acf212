#include "game/stage_script.h"

#include <cwchar>

#include "app/shell.h"
#include "game/tables.h"
#include "sound/dshow_helper.h"

namespace {

struct MusicCue {
  float clock;
  const wchar_t* name;
};
const MusicCue kMusicCues[] = {
    {10.0f, L"bgm001"},   {2500.0f, L"bgm002"},  {5000.0f, L"bgm003"},
    {7500.0f, L"bgm001"}, {10000.0f, L"bgm002"}, {12500.0f, L"bgm003"},
};

struct ClosingText {
  float from;
  float to;
  const wchar_t* text;
};
const ClosingText kClosingTexts[] = {
    {13500.0f, 13700.0f, L"ミストラーク\nのV-KITE ZA-157が\n敵対抗勢力圏内突破！"},
    {13700.0f, 13900.0f, L"敵帝国軍戦闘機\nVIDO4ZOROZUを\n全滅した！\nGAME CLEAR\nOVER ALL"},
    {13900.0f, 14100.0f, L"企画・制作\nグラフィック・BGM\nプログラム\nMORLUNE\nTAVEN OKO"},
};

constexpr float kScrollWrap = 768.0f;

void DrawBackgroundLayer(ID2D1RenderTarget* renderTarget, float offset, float sourceTop) {
  renderTarget->DrawBitmap(g_backgroundBitmap, D2D1::RectF(0.0f, offset - 768.0f, 600.0f, offset + 768.0f), 1.0f,
                           D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                           D2D1::RectF(0.0f, sourceTop, 600.0f, sourceTop + 1536.0f));
}

// The title and the ending share one picture, squeezed from 1200 to 600 wide.
void DrawStagePicture(ID2D1RenderTarget* renderTarget) {
  renderTarget->DrawBitmap(g_backgroundBitmap, D2D1::RectF(0.0f, 0.0f, 600.0f, 768.0f), 1.0f,
                           D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, D2D1::RectF(600.0f, 0.0f, 1800.0f, 768.0f));
}

}  // namespace

void FrameTick() { g_frameTicks += 1; }

void ScrollAndDrawBackground(ID2D1RenderTarget* renderTarget) {
  // The products are formed in double and rounded once to float before the add.
  g_scrollA += static_cast<float>(static_cast<double>(g_stageClock) * 0.002);
  g_scrollB += static_cast<float>(static_cast<double>(g_stageClock) * 0.004);
  DrawBackgroundLayer(renderTarget, g_scrollA, 0.0f);
  DrawBackgroundLayer(renderTarget, g_scrollB, 1536.0f);
  // The excess is dropped, not carried.
  if (g_scrollA >= kScrollWrap) g_scrollA = 0.0f;
  if (g_scrollB >= kScrollWrap) g_scrollB = 0.0f;
}

void PlayMusicCues() {
  for (const MusicCue& cue : kMusicCues) {
    if (g_stageClock == cue.clock) DShowHLP::PlayFromStart(cue.name, 0, NULL);
  }
}

void DrawClosingTexts(ID2D1RenderTarget* renderTarget) {
  for (const ClosingText& t : kClosingTexts) {
    if (g_stageClock >= t.from && g_stageClock <= t.to) {
      g_largeTextFormat->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
      g_brush->SetColor(D2D1::ColorF(0xFFFF00, 1.0f));
      renderTarget->DrawText(t.text, static_cast<UINT32>(std::wcslen(t.text)), g_largeTextFormat,
                             D2D1::RectF(0.0f, 280.0f, 600.0f, 300.0f), g_brush, D2D1_DRAW_TEXT_OPTIONS_NONE,
                             DWRITE_MEASURING_MODE_NATURAL);
    }
  }
}

void DrawPictureAndAdvanceClock(ID2D1RenderTarget* renderTarget) {
  if (g_stageClock >= 14100.0f && g_stageClock <= STAGE_LENGTH) DrawStagePicture(renderTarget);
  g_stageClock += 1.0f;
  // Tested on the advanced clock, so no frame draws the picture twice.
  if (g_stageClock >= 0.0f && g_stageClock <= 100.0f) DrawStagePicture(renderTarget);
  if (g_stageClock >= STAGE_LENGTH) g_stageClock = 0.0f;
}
