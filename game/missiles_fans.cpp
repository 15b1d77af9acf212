#include "game/missiles_fans.h"

#include <cstdint>

#include "app/shell.h"
#include "game/tables.h"

namespace {

// One streak of a missile's bundle, relative to the missile; a bundle is
// the rows up to its slot's bound, in this order.
struct Streak {
  float dx0, dy0, dx1, dy1;
  uint32_t color;
};
const Streak kMissileStreaks[] = {
    {-10, 30, -10, 80, 0x0FFFFF}, {10, 30, 10, 80, 0x0FFFFF},   {-20, 20, -20, 70, 0x0FFFFF},
    {20, 20, 20, 70, 0x0FFFFF},   {-40, 20, -40, 70, 0xFFF000}, {40, 20, 40, 70, 0xFFF000},
    {-70, 0, -70, 50, 0xFFF000},  {70, 0, 70, 50, 0xFFF000},
};
int StreaksForSlot(int i) { return i < 9 ? 2 : i < 24 ? 4 : 8; }

constexpr float kMissileLaunchY = 100.0f;
constexpr float kMissileFall = 18.0f;
constexpr float kBottom = 1168.0f;
constexpr float kTopPark = -400.0f;

// A fan set: bullet n steps by (xFactor, yFactor) × (6 - n), whole numbers.
struct FanSet {
  int xFactor;
  int yFactor;
  Streak streak;
  float bandLow;
  float bandHigh;
};
const FanSet kFanSets[FAN_SET_COUNT] = {
    {-1, 10, {-10, 30, -14, 80, 0xF000FF}, 150, 200},   {1, 10, {10, 30, 14, 80, 0xF000FF}, 150, 200},
    {-3, 10, {-10, 30, -20, 80, 0xF000FF}, 150, 200},   {3, 10, {10, 30, 20, 80, 0xF000FF}, 150, 200},
    {-6, 10, {-10, 30, -34, 80, 0xF000FF}, 150, 200},   {6, 10, {10, 30, 34, 80, 0xF000FF}, 150, 200},
    {1, -10, {10, 30, 14, -20, 0xFFFF00}, 350, 400},    {-1, -10, {-10, 30, -14, -20, 0xFFFF00}, 350, 400},
    {3, -10, {10, 30, 20, -20, 0xFFFF00}, 350, 400},    {-3, -10, {-10, 30, -20, -20, 0xFFFF00}, 350, 400},
    {6, -10, {10, 30, 34, -20, 0xFFFF00}, 350, 400},    {-6, -10, {-10, 30, -34, -20, 0xFFFF00}, 350, 400},
};
constexpr int kDownSets = 6;

void DrawStreak(ID2D1RenderTarget* renderTarget, const Streak& s, float x, float y) {
  DrawGlowLine(renderTarget, s.color, D2D1::Point2F(x + s.dx0, y + s.dy0), D2D1::Point2F(x + s.dx1, y + s.dy1));
}

void StepMissile(ID2D1RenderTarget* renderTarget, int i) {
  const Enemy& e = g_enemies[i];
  if (e.alive > 0 && e.y >= kMissileLaunchY && g_missiles.active[i] == 0.0f) {
    g_missiles.x[i] = e.x;
    g_missiles.y[i] = e.y;
    g_missiles.active[i] = 1.0f;
  }
  if (g_missiles.active[i] == 1.0f) {
    const int streaks = StreaksForSlot(i);
    for (int s = 0; s < streaks; ++s) DrawStreak(renderTarget, kMissileStreaks[s], g_missiles.x[i], g_missiles.y[i]);
    g_missiles.y[i] += kMissileFall;  // it never follows its enemy sideways
  }
  if (g_missiles.y[i] >= kBottom) ParkMissile(i);
}

void StepFanEntry(ID2D1RenderTarget* renderTarget, int s, int i, int n) {
  BulletPlanes<FAN_BULLETS>& set = g_fanBullets[s];
  const FanSet& kind = kFanSets[s];
  const Enemy& e = g_enemies[i];
  if (e.alive > 0 && e.y >= kind.bandLow && e.y <= kind.bandHigh && set.active[i][n] == 0.0f) {
    set.x[i][n] = e.x;
    set.y[i][n] = e.y;
    set.active[i][n] = 1.0f;
  }
  if (set.active[i][n] == 1.0f) {
    DrawStreak(renderTarget, kind.streak, set.x[i][n], set.y[i][n]);
    const int pace = 6 - n;
    set.x[i][n] += static_cast<float>(kind.xFactor * pace);
    set.y[i][n] += static_cast<float>(kind.yFactor * pace);
  }
  // Only y parks a fan bullet: one that leaves at a side flies on unseen.
  const bool down = kind.yFactor > 0;
  if (down ? set.y[i][n] >= kBottom : set.y[i][n] <= kTopPark) ParkBullet(set, i, n);
}

void StepFanSets(ID2D1RenderTarget* renderTarget, int firstSet, int lastSet) {
  for (int i = 0; i < ENEMY_COUNT; ++i) {
    for (int n = 0; n < FAN_BULLETS; ++n) {
      for (int s = firstSet; s <= lastSet; ++s) StepFanEntry(renderTarget, s, i, n);
    }
  }
}

}  // namespace

void UpdateMissiles(ID2D1RenderTarget* renderTarget) {
  for (int i = 0; i < ENEMY_COUNT; ++i) StepMissile(renderTarget, i);
}

void UpdateFanBullets(ID2D1RenderTarget* renderTarget) {
  StepFanSets(renderTarget, 0, kDownSets - 1);
  StepFanSets(renderTarget, kDownSets, FAN_SET_COUNT - 1);
}
