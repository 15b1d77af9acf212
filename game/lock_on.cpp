#include "game/lock_on.h"

#include "app/shell.h"
#include "game/tables.h"
#include "sound/dshow_helper.h"

namespace {

constexpr UINT32 kLockLineColor = 0x00FF00;

// The lock frame and the sight share one 400 x 300 place, 350 to 50 pixels
// above the fighter's centre; tops and bottoms as two float steps each.
D2D1_RECT_F AimBox(float px, float py) {
  return D2D1::RectF(px - 200.0f, (py - 150.0f) - 200.0f, px + 200.0f, (py + 150.0f) - 200.0f);
}

void DrawSheet(ID2D1RenderTarget* renderTarget, const D2D1_RECT_F& destination, const D2D1_RECT_F& source) {
  renderTarget->DrawBitmap(g_spriteBitmap, destination, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, source);
}

}  // namespace

bool IsLockedOn(float ex, float ey, float px, float py) {
  return ex <= px + 200.0f && ex + 60.0f >= px - 150.0f && ey <= py + 50.0f && ey + 60.0f >= py - 300.0f;
}

void LockOnDisplay(ID2D1RenderTarget* renderTarget, LockOnLine line) {
  const float px = g_playerX;
  const float py = g_playerY;
  for (int i = 0; i < ENEMY_COUNT; ++i) {
    // Free slots are parked far outside the box, so alive needn't be read.
    const float ex = g_enemies[i].x;
    const float ey = g_enemies[i].y;
    if (!IsLockedOn(ex, ey, px, py)) continue;
    DrawSheet(renderTarget, AimBox(px, py), D2D1::RectF(1200.0f, 300.0f, 1600.0f, 600.0f));
    DrawSheet(renderTarget, D2D1::RectF(ex - 35.0f, ey - 35.0f, ex + 35.0f, ey + 35.0f),
              D2D1::RectF(200.0f, 0.0f, 270.0f, 70.0f));
    if (line == LockOnLine::Drawn) {
      DrawGlowLine(renderTarget, kLockLineColor, D2D1::Point2F(px, py), D2D1::Point2F(ex, ey));
    }
    // Restarted for every locked enemy: it starts again in every frame
    // something stays locked.
    DShowHLP::PlayFromStart(L"loc", 0, NULL);
  }
}

void DrawSight(ID2D1RenderTarget* renderTarget) {
  DrawSheet(renderTarget, AimBox(g_playerX, g_playerY), D2D1::RectF(1200.0f, 0.0f, 1600.0f, 300.0f));
}
