#include "game/player.h"

#include "app/shell.h"
#include "game/hit_flashes.h"
#include "game/tables.h"
#include "sound/dshow_helper.h"

namespace {

constexpr UINT32 kShotColor = 0x0FFF00;
constexpr float kMoveStep = 8.0f;
constexpr float kShotSpeed = 16.0f;
constexpr float kHitRadiusSquared = 900.0f;
constexpr float kShotExpiryY = -32.0f;
const float kPodOffsetX[POD_COUNT] = {-50.0f, 50.0f, -100.0f, 100.0f};
const float kPodOffsetY[POD_COUNT] = {50.0f, 50.0f, 100.0f, 100.0f};

void FireGun(Shot* table, float x, float y) {
  for (int i = 0; i < SHOTS_PER_GUN; ++i) {
    if (table[i].alive < 1) {
      table[i].alive = 1;
      table[i].x = x;
      table[i].y = y;
      return;
    }
  }
}

void DrawShot(ID2D1RenderTarget* renderTarget, const Shot& s, bool fighterGun) {
  if (fighterGun) {
    DrawGlowLine(renderTarget, kShotColor, D2D1::Point2F(s.x - 10.0f, s.y - 40.0f),
                 D2D1::Point2F(s.x - 10.0f, s.y - 80.0f));
    DrawGlowLine(renderTarget, kShotColor, D2D1::Point2F(s.x + 10.0f, s.y - 40.0f),
                 D2D1::Point2F(s.x + 10.0f, s.y - 80.0f));
  } else {
    DrawGlowLine(renderTarget, kShotColor, D2D1::Point2F(s.x, s.y - 40.0f), D2D1::Point2F(s.x, s.y - 80.0f));
  }
}

// A shot hits every present enemy within reach in the same frame, each hit
// with all its effects, so alive can end below 0.
void HitTestShot(Shot& s, ShotHitRule hitRule) {
  for (int k = 0; k < ENEMY_COUNT; ++k) {
    Enemy& e = g_enemies[k];
    if (e.alive <= 0) continue;
    const float dx = s.x - e.x;
    const float dy = s.y - e.y;
    if (dx * dx + dy * dy < kHitRadiusSquared) {
      s.alive -= 1;
      if (hitRule == ShotHitRule::HitWithSound) DShowHLP::PlayFromStart(L"hit", 0, NULL);
      g_hitCount += 1;
      e.hit = 1.0f;
      SpawnHitFlash(e.x, e.y);
    }
  }
}

void DrawSprite(ID2D1RenderTarget* renderTarget, float x, float y, float halfW, float halfH, const D2D1_RECT_F& source) {
  renderTarget->DrawBitmap(g_spriteBitmap, D2D1::RectF(x - halfW, y - halfH, x + halfW, y + halfH), 1.0f,
                           D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, source);
}

}  // namespace

void MoveFighter() {
  if (g_keyDown[VK_LEFT]) g_playerX -= kMoveStep;
  if (g_keyDown[VK_RIGHT]) g_playerX += kMoveStep;
  if (g_keyDown[VK_UP]) g_playerY -= kMoveStep;
  if (g_keyDown[VK_DOWN]) g_playerY += kMoveStep;
  if (g_playerX < 24.0f) g_playerX = 24.0f;
  if (g_playerX > 576.0f) g_playerX = 576.0f;
  if (g_playerY < 400.0f) g_playerY = 400.0f;
  if (g_playerY > 696.0f) g_playerY = 696.0f;
}

// The pods haven't followed the fighter yet this frame: their shots leave
// from where the pods stood in the previous frame.
void FireVolley() {
  if (!KeyPressedOnce(VK_SPACE)) return;
  FireGun(g_shots[0], g_playerX, g_playerY - 18.0f);
  for (int p = 0; p < POD_COUNT; ++p) FireGun(g_shots[p + 1], g_podX[p], g_podY[p] - 6.0f);
}

void UpdateShots(ID2D1RenderTarget* renderTarget, ShotHitRule hitRule) {
  for (int gun = 0; gun < GUN_COUNT; ++gun) {
    for (int i = 0; i < SHOTS_PER_GUN; ++i) {
      Shot& s = g_shots[gun][i];
      if (s.alive < 1) continue;
      DrawShot(renderTarget, s, gun == 0);
      s.y -= kShotSpeed;
      if (hitRule != ShotHitRule::PassThrough) HitTestShot(s, hitRule);
      if (s.y < kShotExpiryY) s.alive = 0;
    }
  }
}

void UpdatePodsAndDrawFighter(ID2D1RenderTarget* renderTarget) {
  for (int p = 0; p < POD_COUNT; ++p) {
    g_podX[p] = g_playerX + kPodOffsetX[p];
    g_podY[p] = g_playerY + kPodOffsetY[p];
  }
  for (int p = 0; p < POD_COUNT; ++p) {
    DrawSprite(renderTarget, g_podX[p], g_podY[p], 25.0f, 35.0f, D2D1::RectF(110.0f, 30.0f, 160.0f, 100.0f));
  }
  DrawSprite(renderTarget, g_playerX, g_playerY, 25.0f, 50.0f, D2D1::RectF(0.0f, 0.0f, 50.0f, 100.0f));
}
