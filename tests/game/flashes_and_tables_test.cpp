#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "app/shell.h"
#include "game/game.h"
#include "game/hit_flashes.h"
#include "game/tables.h"
#include "game_fixture.h"

namespace {

bool Parked(float x, float y) { return x == PARK_X && y == PARK_Y; }

TEST(GameTables, StartUpPutsEverythingFreeAndTheFighterInFormation) {
  ResetWholeGame();
  SpawnHitFlash(10.0f, 10.0f);
  g_shots[3][7] = Shot{1, 5.0f, 6.0f};
  g_enemies[12].alive = 1;
  InitGameState();

  EXPECT_EQ(g_playerX, 300.0f);
  EXPECT_EQ(g_playerY, 520.0f);
  const float pods[POD_COUNT][2] = {{250, 570}, {350, 570}, {200, 620}, {400, 620}};
  for (int p = 0; p < POD_COUNT; ++p) {
    EXPECT_EQ(g_podX[p], pods[p][0]) << "pod " << p + 1;
    EXPECT_EQ(g_podY[p], pods[p][1]) << "pod " << p + 1;
  }
  for (auto& table : g_shots) {
    for (const Shot& s : table) EXPECT_TRUE(s.alive == 0 && s.x == 0.0f && s.y == 0.0f);
  }
  EXPECT_EQ(FindFreeHitFlashSlot(g_hitFlashes, HIT_FLASH_COUNT), 0);
  int notFree = 0;
  for (int i = 0; i < ENEMY_COUNT; ++i) {
    const Enemy& e = g_enemies[i];
    notFree += !(e.alive == 0 && Parked(e.x, e.y) && e.hit == 0.0f && e.deathTimer == 0.0f);
    notFree += !(Parked(g_missiles.x[i], g_missiles.y[i]) && g_missiles.active[i] == 0.0f);
    for (auto& set : g_fanBullets) {
      for (int n = 0; n < FAN_BULLETS; ++n) notFree += !(Parked(set.x[i][n], set.y[i][n]) && set.active[i][n] == 0.0f);
    }
    for (int j = 0; j < RING_BULLETS; ++j) {
      for (auto& set : g_ringBullets) notFree += !(Parked(set.x[i][j], set.y[i][j]) && set.active[i][j] == 0.0f);
      for (auto& set : g_spiralBullets) notFree += !(Parked(set.x[i][j], set.y[i][j]) && set.active[i][j] == 0.0f);
    }
    notFree += g_spiralCounters[i] != 0;
    const CurlLaser& l = g_enemyLasers[i];
    notFree += !(l.head == 0 && l.active == 0.0f && Parked(l.originX, l.originY));
    for (int j = 0; j < LASER_SEGMENTS; ++j) notFree += !(Parked(l.segX[j], l.segY[j]) && l.segState[j] == 0.0f);
    for (int n = 0; n < DEBRIS_PER_ENEMY; ++n) {
      notFree += !(Parked(g_debris.x[i][n], g_debris.y[i][n]) && g_debris.active[i][n] == 0.0f &&
                   g_debris.vx[i][n] == 0.0f && g_debris.vy[i][n] == 0.0f && g_debris.age[i][n] == 0.0f);
    }
  }
  EXPECT_EQ(notFree, 0);
  EXPECT_EQ(g_stageClock, 0.0f);
  EXPECT_EQ(g_hitCount, 0u);
}

TEST(HitFlashes, AFlashIsDrawnSixTimesGrowingAndFading) {
  ResetWholeGame();
  SpawnHitFlash(100.0f, 200.0f);
  const struct {
    uint32_t framesLeft;
    float radius;
    float alpha;
  } drawings[6] = {{5, 17.33f, 0.5167f}, {4, 26.67f, 0.4333f}, {3, 36.0f, 0.35f},
                   {2, 45.33f, 0.2667f}, {1, 54.67f, 0.1833f}, {0, 64.0f, 0.1f}};
  Recorder& rec = TheRecorder();
  for (int d = 0; d < 6; ++d) {
    rec.BeginFrame();
    DrawHitFlashes(rec.target, g_brush);
    const auto fills = OfKind(rec.Commands(), vxtest::Op::FillEllipse);
    ASSERT_EQ(fills.size(), 3u) << "drawing " << d + 1;
    const float centres[3][2] = {{100, 200}, {70, 170}, {130, 170}};
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(fills[i].ellipse.point.x, centres[i][0]);
      EXPECT_EQ(fills[i].ellipse.point.y, centres[i][1]);
      EXPECT_NEAR(fills[i].ellipse.radiusX, drawings[d].radius, 0.01f) << "drawing " << d + 1;
      EXPECT_EQ(fills[i].ellipse.radiusX, fills[i].ellipse.radiusY);
      EXPECT_NEAR(fills[i].color.a, drawings[d].alpha, 0.0005f) << "drawing " << d + 1;
      EXPECT_EQ(fills[i].color.r, 1.0f);
      EXPECT_EQ(fills[i].color.g, 1.0f);
      EXPECT_EQ(fills[i].color.b, 240.0f / 255.0f);
    }
    EXPECT_EQ(g_hitFlashes[0].framesLeft, drawings[d].framesLeft);
  }
  rec.BeginFrame();
  DrawHitFlashes(rec.target, g_brush);
  EXPECT_TRUE(rec.Commands().empty());
}

TEST(HitFlashes, AFullTableDropsNewFlashesAndClearingFreesAll) {
  ResetWholeGame();
  for (int i = 0; i < HIT_FLASH_COUNT; ++i) SpawnHitFlash(static_cast<float>(i), 0.0f);
  EXPECT_EQ(FindFreeHitFlashSlot(g_hitFlashes, HIT_FLASH_COUNT), -1);
  const HitFlash before = g_hitFlashes[0];
  SpawnHitFlash(999.0f, 999.0f);
  for (const HitFlash& f : g_hitFlashes) EXPECT_NE(f.x, 999.0f);
  EXPECT_EQ(std::memcmp(&before, &g_hitFlashes[0], sizeof before), 0);

  // Flashes are drawn in slot order: slot 14's circles come last.
  Recorder& rec = TheRecorder();
  rec.BeginFrame();
  DrawHitFlashes(rec.target, g_brush);
  const auto fills = OfKind(rec.Commands(), vxtest::Op::FillEllipse);
  ASSERT_EQ(fills.size(), 3u * HIT_FLASH_COUNT);
  EXPECT_EQ(fills.back().ellipse.point.x, 14.0f + 30.0f);

  // A slot freed by its sixth drawing is taken by the next spawn.
  for (int d = 0; d < 5; ++d) DrawHitFlashes(rec.target, g_brush);
  EXPECT_EQ(FindFreeHitFlashSlot(g_hitFlashes, HIT_FLASH_COUNT), 0);
  SpawnHitFlash(1.0f, 2.0f);
  SpawnHitFlash(1.0f, 2.0f);
  EXPECT_EQ(g_hitFlashes[0].framesLeft, 6u);
  EXPECT_EQ(g_hitFlashes[1].framesLeft, 6u);

  ClearHitFlashes();
  const D2D1_COLOR_F marker{0.25f, 0.5f, 0.75f, 1.0f};
  g_brush->SetColor(&marker);
  rec.BeginFrame();
  DrawHitFlashes(rec.target, g_brush);
  EXPECT_TRUE(rec.Commands().empty());
  EXPECT_EQ(g_brush->GetColor().g, 0.5f);
}

}  // namespace
