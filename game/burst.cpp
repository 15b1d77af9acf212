#include "game/burst.h"

#include "app/shell.h"
#include "game/rng.h"
#include "game/tables.h"
#include "sound/dshow_helper.h"

namespace {

struct EnemyPicture {
  D2D1_RECT_F source;
  float halfW;
  float halfH;
};
// Row 0 for the small enemies, then one row per group of three.
const EnemyPicture kEnemyPictures[1 + GROUP_COUNT] = {
    {{50, 0, 110, 60}, 30, 30},
    {{0, 100, 300, 400}, 150, 150},
    {{300, 100, 600, 400}, 150, 150},
    {{600, 100, 900, 400}, 150, 150},
    {{0, 400, 400, 1200}, 200, 400},
    {{400, 400, 800, 1200}, 200, 400},
    {{800, 400, 1200, 1200}, 200, 400},
    {{0, 1200, 400, 2000}, 200, 400},
    {{400, 1200, 800, 2000}, 200, 400},
    {{800, 1200, 1200, 2000}, 200, 400},
    {{0, 2000, 400, 2800}, 200, 400},
    {{400, 2000, 800, 2800}, 200, 400},
    {{800, 2000, 1200, 2800}, 200, 400},
    {{0, 2800, 400, 3600}, 200, 400},
};

constexpr int kLastFragment = 160;
constexpr int kFirstDarkFragment = 81;
constexpr float kBurstEntries = 220.0f;
constexpr float kBottomEdge = 1168.0f;

void RemoveEnemy(Enemy& e) {
  e.x = PARK_X;
  e.y = PARK_Y;
  e.alive = 0;
  e.deathTimer = 0.0f;
  e.hit = 0.0f;
  e.motionTimer = 0.0f;
  e.heading = 0.0f;
}

// Left operand drawn first: the order of the calls is part of the result.
int RandDifference(int modulus) {
  const int left = GameRand() % modulus;
  const int right = GameRand() % modulus;
  return left - right;
}

void EmitDebris(int slot, int n, float ex, float ey) {
  if (n <= kLastFragment) {
    g_debris.x[slot][n] = ex + 22.0f;
    g_debris.y[slot][n] = (ey + 22.0f) - 25.0f;
    g_debris.vx[slot][n] = static_cast<float>(RandDifference(22) + 4);
    g_debris.vy[slot][n] = static_cast<float>(RandDifference(22) - 14);
  } else {
    g_debris.x[slot][n] = ex + 15.0f;
    g_debris.y[slot][n] = (ey + 15.0f) - 25.0f;
    g_debris.vx[slot][n] = static_cast<float>(RandDifference(4));
    g_debris.vy[slot][n] = static_cast<float>(GameRand() % 12 + 4);
  }
  g_debris.age[slot][n] = 0.0f;
  g_debris.active[slot][n] = 1.0f;
}

void MoveAndDrawDebris(ID2D1RenderTarget* renderTarget, int slot, int n) {
  float& x = g_debris.x[slot][n];
  float& y = g_debris.y[slot][n];
  x += g_debris.vx[slot][n];
  y += g_debris.vy[slot][n];
  if (n <= kLastFragment) {
    float& age = g_debris.age[slot][n];
    if (age >= 0.0f && age <= 100.0f) age += 1.0f;
    if (age >= 100.0f) g_debris.active[slot][n] = 0.0f;
  }
  // Drawn at the new position even when it has just aged out.
  D2D1_RECT_F source;
  float half;
  if (n >= FIRST_PICKUP) {
    source = D2D1::RectF(110.0f, 0.0f, 140.0f, 30.0f);
    half = 15.0f;
  } else if (n >= kFirstDarkFragment) {
    source = D2D1::RectF(62.0f, 84.0f, 78.0f, 100.0f);
    half = 8.0f;
  } else {
    source = D2D1::RectF(94.0f, 84.0f, 110.0f, 100.0f);
    half = 8.0f;
  }
  renderTarget->DrawBitmap(g_spriteBitmap, D2D1::RectF(x - half, y - half, x + half, y + half), 1.0f,
                           D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, source);
}

}  // namespace

void DrawEnemy(ID2D1RenderTarget* renderTarget, int slot) {
  const Enemy& e = g_enemies[slot];
  if (e.alive != 1) return;
  const int row = slot < SMALL_ENEMY_COUNT ? 0 : 1 + (slot - SMALL_ENEMY_COUNT) / 3;
  const EnemyPicture& p = kEnemyPictures[row];
  renderTarget->DrawBitmap(g_spriteBitmap, D2D1::RectF(e.x - p.halfW, e.y - p.halfH, e.x + p.halfW, e.y + p.halfH),
                           1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, p.source);
}

void ParkEnemyAtBottom(int slot) {
  Enemy& e = g_enemies[slot];
  if (e.y >= kBottomEdge) RemoveEnemy(e);
}

void BurstStep(ID2D1RenderTarget* renderTarget, int slot, BurstSound burstSound) {
  Enemy& e = g_enemies[slot];
  const float ex = e.x;
  const float ey = e.y;
  const float px = g_playerX;
  const float py = g_playerY;
  for (int n = 0; n < DEBRIS_PER_ENEMY; ++n) {
    // The timer counts entries, not frames: a struck enemy's whole burst,
    // its removal and its points fall in one pass.
    if (e.hit > 0.0f) {
      e.deathTimer += 1.0f;
      if (e.deathTimer >= 1.0f && e.deathTimer <= kBurstEntries) {
        if (burstSound == BurstSound::HitOnce && e.deathTimer == 2.0f) DShowHLP::PlayFromStart(L"hit", 0, NULL);
        EmitDebris(slot, n, ex, ey);
      }
      if (e.deathTimer >= kBurstEntries + 1.0f) {
        RemoveEnemy(e);
        g_score = (g_score + 25.0f) + static_cast<float>(slot);
      }
    }
    if (g_debris.active[slot][n] == 1.0f) MoveAndDrawDebris(renderTarget, slot, n);
    const float x = g_debris.x[slot][n];
    const float y = g_debris.y[slot][n];
    if (x <= -100.0f || x >= 700.0f || y <= -100.0f || y >= 868.0f) {
      ParkDebris(slot, n);
      continue;
    }
    if (px + 50.0f >= x && x + 16.0f >= px && py + 100.0f >= y && y + 16.0f >= py) ParkDebris(slot, n);
  }
}
