#include "game/hit_flashes.h"

#include <cstring>

#include <d2d1helper.h>

HitFlash g_hitFlashes[HIT_FLASH_COUNT];

int FindFreeHitFlashSlot(const HitFlash* table, int count) {
  for (int i = 0; i < count; ++i) {
    if (table[i].framesLeft == 0) return i;
  }
  return -1;
}

void SpawnHitFlash(float x, float y) {
  const int slot = FindFreeHitFlashSlot(g_hitFlashes, HIT_FLASH_COUNT);
  if (slot < 0) return;
  HitFlash& f = g_hitFlashes[slot];
  f.framesLeft = 6;
  f.x = x;
  f.targetX = x;
  f.y = y;
  f.targetY = y;
  f.alpha = 0.6f;
  f.targetAlpha = 0.1f;
  f.size = 32.0f;
  f.scale = 0.5f;
  f.targetScale = 4.0f;
  f.color = 0xFFFFFFF0u;
  StartHitFlash(&f);
}

void StartHitFlash(HitFlash* flash) {
  const float n = static_cast<float>(flash->framesLeft);
  flash->dAlpha = (flash->targetAlpha - flash->alpha) / n;
  flash->dScale = (flash->targetScale - flash->scale) / n;
  flash->dx = (flash->targetX - flash->x) / n;
  flash->dy = (flash->targetY - flash->y) / n;
  flash->color &= 0x00FFFFFFu;
}

void StepHitFlash(HitFlash* flash) {
  flash->alpha += flash->dAlpha;
  flash->scale += flash->dScale;
  flash->x += flash->dx;
  flash->y += flash->dy;
  flash->framesLeft -= 1;
}

void ClearHitFlashes() { std::memset(g_hitFlashes, 0, sizeof g_hitFlashes); }

void DrawHitFlashes(ID2D1RenderTarget* renderTarget, ID2D1SolidColorBrush* brush) {
  for (int i = 0; i < HIT_FLASH_COUNT; ++i) {
    HitFlash& f = g_hitFlashes[i];
    if (f.framesLeft == 0) continue;
    StepHitFlash(&f);
    brush->SetColor(D2D1::ColorF(f.color, f.alpha));
    const float r = f.size * f.scale / 2.0f;
    renderTarget->FillEllipse(D2D1::Ellipse(D2D1::Point2F(f.x, f.y), r, r), brush);
    renderTarget->FillEllipse(D2D1::Ellipse(D2D1::Point2F(f.x - 30.0f, f.y - 30.0f), r, r), brush);
    renderTarget->FillEllipse(D2D1::Ellipse(D2D1::Point2F(f.x + 30.0f, f.y - 30.0f), r, r), brush);
  }
}
