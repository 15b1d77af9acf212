#include <gtest/gtest.h>

#include "game/burst.h"
#include "game/game.h"
#include "game/hit_flashes.h"
#include "game/player.h"
#include "game/rng.h"
#include "game/tables.h"
#include "game/waves.h"
#include "game_fixture.h"

namespace {

TEST(Waves, SlotZeroFliesItsFirstTwoFramesFromItsSpawnPoint) {
  ResetWholeGame();
  g_stageClock = 100.0f;
  RunPaintFrame();
  const Enemy& e = g_enemies[0];
  EXPECT_EQ(e.alive, 1);
  EXPECT_EQ(e.motionTimer, 1.0f);
  EXPECT_EQ(e.heading, 0.0006f);
  EXPECT_NEAR(e.x, 65.996f, 0.0005f);
  EXPECT_NEAR(e.y, -193.794f, 0.0005f);
  // Its sprite is drawn where it has just moved to.
  bool drawn = false;
  for (const auto& c : OfKind(TheRecorder().Commands(), vxtest::Op::DrawBitmap)) {
    drawn |= SameRect(c.source, 50, 0, 110, 60) && SameRect(c.rect, e.x - 30, e.y - 30, e.x + 30, e.y + 30);
  }
  EXPECT_TRUE(drawn);
  RunPaintFrame();
  EXPECT_NEAR(g_enemies[0].x, 71.982f, 0.0005f);
  EXPECT_NEAR(g_enemies[0].y, -187.381f, 0.0005f);
}

TEST(Waves, SpawnWindowsIncludeBothEnds) {
  const struct {
    float clock;
    int slot;
    bool spawns;
    float x, y;
  } cases[] = {
      {99, 0, false, 0, 0},         {100, 0, true, 60, -200},    {500, 4, true, 300, -500},
      {501, 4, false, 0, 0},        {999, 8, false, 0, 0},       {1000, 8, true, 540, -1000},
      {12500, 3, true, 240, -600},  {12501, 3, false, 0, 0},     {13000, 0, false, 0, 0},
      {499, 9, false, 0, 0},        {500, 9, true, 150, -400},   {1050, 11, true, 300, -800},
      {1051, 10, false, 0, 0},      {1500, 12, true, 150, -400}, {1500, 9, false, 0, 0},
      {3500, 19, true, 450, -800},  {3500, 20, true, 300, -1800}, {13050, 47, true, 300, -1800},
      {13051, 47, false, 0, 0},     {12600, 44, false, 0, 0},
  };
  for (const auto& c : cases) {
    ResetWholeGame();
    g_stageClock = c.clock;
    Enemy& e = g_enemies[c.slot];
    e.motionTimer = 77.0f;
    e.heading = 1.5f;
    SpawnEnemy(c.slot);
    EXPECT_EQ(e.alive, c.spawns ? 1 : 0) << "clock " << c.clock << " slot " << c.slot;
    if (c.spawns) {
      EXPECT_EQ(e.x, c.x) << "clock " << c.clock << " slot " << c.slot;
      EXPECT_EQ(e.y, c.y) << "clock " << c.clock << " slot " << c.slot;
      EXPECT_EQ(e.motionTimer, 0.0f);
      EXPECT_EQ(e.heading, 0.0f);
    }
  }
  // A present enemy is left where it is.
  ResetWholeGame();
  g_stageClock = 300.0f;
  g_enemies[2] = Enemy{1, 5.0f, 6.0f, 0.0f, 0.0f, 3.0f, 0.1f};
  SpawnEnemy(2);
  EXPECT_EQ(g_enemies[2].x, 5.0f);
  EXPECT_EQ(g_enemies[2].motionTimer, 3.0f);
}

TEST(Waves, AdjacentPhasesBothRunAtTheirSharedClock) {
  const struct {
    float clock;
    int slot;
    float timerAfter;
    float headingAfter;
    float minDy, maxDy;
    bool xMoves;
  } cases[] = {
      {0, 0, 0, 0, 0, 0, false},
      {2499, 0, 1, 0.0006f, 5, 7, true},
      {2500, 0, 2, 0.0006f + 0.0006f, 11, 13, true},
      {2500, 20, 2, 0.0006f - 0.0006f, 11, 13, true},
      {7500, 0, 2, 0.0006f - 0.0006f, 8, 10, true},  // the sway's drift is 3
      {7500, 20, 2, -0.0006f - 0.0006f, 11, 13, true},
      {10500, 0, 1, -0.0006f, 8, 10, true},
      {10500, 20, 1, -0.0006f, 11, 13, false},
      {10501, 0, 0, 0, 6, 6, false},
  };
  for (const auto& c : cases) {
    ResetWholeGame();
    g_stageClock = c.clock;
    Enemy& e = g_enemies[c.slot];
    e = Enemy{1, 300.0f, 300.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    MoveEnemy(c.slot);
    EXPECT_EQ(e.motionTimer, c.timerAfter) << "clock " << c.clock << " slot " << c.slot;
    EXPECT_EQ(e.heading, c.headingAfter) << "clock " << c.clock << " slot " << c.slot;
    EXPECT_GE(e.y - 300.0f, c.minDy) << "clock " << c.clock << " slot " << c.slot;
    EXPECT_LE(e.y - 300.0f, c.maxDy) << "clock " << c.clock << " slot " << c.slot;
    EXPECT_EQ(e.x != 300.0f, c.xMoves) << "clock " << c.clock << " slot " << c.slot;
  }
  // The turning cycle is 1201 frames: the timer never rests at 1201.
  ResetWholeGame();
  g_stageClock = 3000.0f;
  g_enemies[0] = Enemy{1, 300.0f, 300.0f, 0.0f, 0.0f, 1200.0f, 0.5f};
  MoveEnemy(0);
  EXPECT_EQ(g_enemies[0].motionTimer, 0.0f);
  EXPECT_EQ(g_enemies[0].heading, 0.5f);
}

// The shots' lines of a frame; the pod lasers glow in another colour.
std::vector<Segment> ShotLines() {
  std::vector<Segment> out;
  for (const Segment& s : GlowSegments(TheRecorder().Commands())) {
    if (s.rgb == 0x0FFF00) out.push_back(s);
  }
  return out;
}

TEST(Player, AVolleyLeavesEveryGunOnItsFirstFrame) {
  ResetWholeGame();
  g_stageClock = 50.0f;  // nothing spawns yet
  HoldKey(VK_SPACE, true);
  HoldKey(VK_LEFT, true);
  RunPaintFrame();
  // The fighter has moved 8 left; the pods fire from where they stood.
  const Segment expected[] = {
      {282, 462, 282, 422, 0x0FFF00}, {302, 462, 302, 422, 0x0FFF00},  // 58 to 98 above the fighter
      {250, 524, 250, 484, 0x0FFF00}, {350, 524, 350, 484, 0x0FFF00},  // 46 to 86 above each pod
      {200, 574, 200, 534, 0x0FFF00}, {400, 574, 400, 534, 0x0FFF00},
  };
  const auto lines = ShotLines();
  ASSERT_EQ(lines.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(lines[i].x0, expected[i].x0) << "line " << i;
    EXPECT_EQ(lines[i].y0, expected[i].y0) << "line " << i;
    EXPECT_EQ(lines[i].x1, expected[i].x1) << "line " << i;
    EXPECT_EQ(lines[i].y1, expected[i].y1) << "line " << i;
    EXPECT_EQ(lines[i].rgb, expected[i].rgb) << "line " << i;
  }
  EXPECT_EQ(g_shots[0][0].y, 520.0f - 18.0f - 16.0f);
  // Pods and fighter are drawn over the shots, the fighter after the pods.
  const auto& cmds = TheRecorder().Commands();
  size_t lastLine = 0, fighter = 0, pods = 0, lastPod = 0;
  for (size_t i = 0; i < cmds.size(); ++i) {
    if (cmds[i].op == vxtest::Op::DrawLine) lastLine = i;
    if (cmds[i].op != vxtest::Op::DrawBitmap) continue;
    if (SameRect(cmds[i].source, 110, 30, 160, 100)) {
      EXPECT_GT(i, lastLine);
      ++pods;
      lastPod = i;
    }
    if (SameRect(cmds[i].source, 0, 0, 50, 100)) {
      EXPECT_TRUE(SameRect(cmds[i].rect, 292 - 25, 520 - 50, 292 + 25, 520 + 50));
      fighter = i;
    }
  }
  EXPECT_EQ(pods, 4u);
  EXPECT_GT(fighter, lastPod);
  EXPECT_EQ(g_podX[0], 242.0f);

  // Holding Space fires nothing more; a new press fires a second volley.
  HoldKey(VK_LEFT, false);
  RunPaintFrame();
  EXPECT_EQ(ShotLines().size(), 6u);
  HoldKey(VK_SPACE, false);
  HoldKey(VK_SPACE, true);
  RunPaintFrame();
  EXPECT_EQ(ShotLines().size(), 12u);
  EXPECT_EQ(g_shots[0][1].alive, 1);
}

TEST(Player, TheFighterStaysInItsBox) {
  const struct {
    int keys[2];
    float x, y;
    float wantX, wantY;
  } cases[] = {
      {{VK_LEFT, 0}, 24, 500, 24, 500},           {{VK_LEFT, VK_RIGHT}, 100, 500, 100, 500},
      {{VK_RIGHT, VK_DOWN}, 570, 690, 576, 696},  {{VK_UP, 0}, 300, 405, 300, 400},
      {{VK_UP, VK_LEFT}, 300, 500, 292, 492},
  };
  for (const auto& c : cases) {
    ResetWholeGame();
    g_playerX = c.x;
    g_playerY = c.y;
    for (int k : c.keys) {
      if (k) HoldKey(k, true);
    }
    MoveFighter();
    EXPECT_EQ(g_playerX, c.wantX);
    EXPECT_EQ(g_playerY, c.wantY);
  }
}

TEST(Player, AShotHitsEveryPresentEnemyWithinThirtyPixels) {
  ResetWholeGame();
  g_stageClock = 60.0f;
  // The fighter's shot is tested at (300, 486) after its first move.
  g_enemies[0] = Enemy{1, 300.0f, 506.0f, 0, 0, 0, 0};   // 20 away
  g_enemies[1] = Enemy{1, 290.0f, 470.0f, 0, 0, 0, 0};   // about 18.9 away
  g_enemies[2] = Enemy{1, 330.0f, 486.0f, 0, 0, 0, 0};   // exactly 30: a miss
  g_enemies[3] = Enemy{0, 300.0f, 486.0f, 0, 0, 0, 0};   // not present
  HoldKey(VK_SPACE, true);
  RunPaintFrame();
  EXPECT_EQ(SoundsNamed(L"hit"), 2);
  EXPECT_EQ(g_hitCount, 2u);
  EXPECT_EQ(g_shots[0][0].alive, -1);
  EXPECT_EQ(g_hitFlashes[0].targetX, 300.0f);
  EXPECT_EQ(g_hitFlashes[1].targetX, 290.0f);
  EXPECT_EQ(FindFreeHitFlashSlot(g_hitFlashes, HIT_FLASH_COUNT), 2);
  // Both struck enemies burst in the same frame, in slot order.
  EXPECT_EQ(g_enemies[0].alive, 0);
  EXPECT_EQ(g_enemies[1].alive, 0);
  EXPECT_EQ(g_enemies[2].alive, 1);
  EXPECT_EQ(g_score, 25.0f + 26.0f);
  // A spent slot is free and keeps its place; the next volley reuses it.
  HoldKey(VK_SPACE, false);
  HoldKey(VK_SPACE, true);
  RunPaintFrame();
  EXPECT_EQ(g_shots[0][0].alive, 1);
}

TEST(Player, RevisionsChooseWhatAShotDoes) {
  const struct {
    ShotHitRule rule;
    int sounds;
    uint32_t hits;
    float hit;
  } cases[] = {{ShotHitRule::HitWithSound, 1, 1, 1.0f},
               {ShotHitRule::HitSilently, 0, 1, 1.0f},
               {ShotHitRule::PassThrough, 0, 0, 0.0f}};
  for (const auto& c : cases) {
    ResetWholeGame();
    g_shots[0][0] = Shot{1, 100.0f, 116.0f};
    g_enemies[5] = Enemy{1, 100.0f, 100.0f, 0, 0, 0, 0};
    TheRecorder().BeginFrame();
    UpdateShots(TheRecorder().target, c.rule);
    EXPECT_EQ(SoundsNamed(L"hit"), c.sounds);
    EXPECT_EQ(g_hitCount, c.hits);
    EXPECT_EQ(g_enemies[5].hit, c.hit);
    EXPECT_EQ(FindFreeHitFlashSlot(g_hitFlashes, HIT_FLASH_COUNT), static_cast<int>(c.hits));
  }
}

TEST(Burst, TheFirstBurstAfterStartUp) {
  for (BurstSound sound : {BurstSound::Silent, BurstSound::HitOnce}) {
    ResetWholeGame();
    const int slot = 5;
    g_enemies[slot] = Enemy{1, 300.0f, 300.0f, 1.0f, 0, 0, 0};
    g_debris.x[slot][220] = 123.0f;  // never emitted: must keep this
    g_debris.y[slot][220] = 50.0f;
    TheRecorder().BeginFrame();
    BurstStep(TheRecorder().target, slot, sound);

    const struct {
      int n;
      float vx, vy;
    } velocities[] = {{0, 14, -6}, {1, -5, -8}, {160, 7, -13}, {161, 3, 6}, {219, 2, 7}};
    for (const auto& v : velocities) {
      EXPECT_EQ(g_debris.vx[slot][v.n], v.vx) << "entry " << v.n;
      EXPECT_EQ(g_debris.vy[slot][v.n], v.vy) << "entry " << v.n;
      const bool fragment = v.n < FIRST_PICKUP;
      EXPECT_EQ(g_debris.x[slot][v.n], (fragment ? 322.0f : 315.0f) + v.vx);
      EXPECT_EQ(g_debris.y[slot][v.n], (fragment ? 297.0f : 290.0f) + v.vy);
      EXPECT_EQ(g_debris.age[slot][v.n], fragment ? 1.0f : 0.0f);
      EXPECT_EQ(g_debris.active[slot][v.n], 1.0f);
    }
    EXPECT_EQ(g_debris.x[slot][220], 123.0f);
    EXPECT_EQ(g_enemies[slot].alive, 0);
    EXPECT_EQ(g_enemies[slot].x, PARK_X);
    EXPECT_EQ(g_score, 30.0f);
    EXPECT_EQ(SoundsNamed(L"hit"), sound == BurstSound::HitOnce ? 1 : 0);
    // 821 draws of the generator.
    uint32_t state = 1;
    for (int i = 0; i < 821; ++i) state = state * 214013u + 2531011u;
    EXPECT_EQ(g_randState, state);
    EXPECT_EQ(OfKind(TheRecorder().Commands(), vxtest::Op::DrawBitmap).size(), 220u);
  }
}

TEST(Burst, DebrisAgesOutAndIsCollectedAtTheBoxEdges) {
  const struct {
    float dx, dy;  // offset from the fighter after the move
    bool collected;
  } cases[] = {{50, 100, true}, {-16, -16, true}, {-16.5f, 0, false}, {50.5f, 0, false}, {0, 100.5f, false}};
  for (const auto& c : cases) {
    ResetWholeGame();
    g_debris.x[7][200] = g_playerX + c.dx - 1.0f;
    g_debris.y[7][200] = g_playerY + c.dy - 2.0f;
    g_debris.vx[7][200] = 1.0f;
    g_debris.vy[7][200] = 2.0f;
    g_debris.active[7][200] = 1.0f;
    TheRecorder().BeginFrame();
    BurstStep(TheRecorder().target, 7, BurstSound::Silent);
    EXPECT_EQ(g_debris.x[7][200] == PARK_X, c.collected) << c.dx << ", " << c.dy;
  }
  // A fragment is drawn in 100 frames, then rests unseen where it stopped.
  ResetWholeGame();
  g_debris.x[3][10] = 100.0f;
  g_debris.y[3][10] = 100.0f;
  g_debris.vy[3][10] = 1.0f;
  g_debris.active[3][10] = 1.0f;
  int drawn = 0;
  for (int f = 0; f < 120; ++f) {
    TheRecorder().BeginFrame();
    BurstStep(TheRecorder().target, 3, BurstSound::Silent);
    drawn += static_cast<int>(OfKind(TheRecorder().Commands(), vxtest::Op::DrawBitmap).size());
  }
  EXPECT_EQ(drawn, 100);
  EXPECT_EQ(g_debris.y[3][10], 200.0f);
  // An enemy past the bottom edge is parked without a burst or points.
  ResetWholeGame();
  g_enemies[30] = Enemy{1, 300.0f, 1168.0f, 0, 0, 5, 1};
  ParkEnemyAtBottom(30);
  EXPECT_EQ(g_enemies[30].alive, 0);
  EXPECT_EQ(g_enemies[30].heading, 0.0f);
  EXPECT_EQ(g_score, 0.0f);
  EXPECT_EQ(g_randState, 1u);
}

}  // namespace
