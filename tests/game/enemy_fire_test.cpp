// The enemies' bullets: rings, twin spirals, missiles and fans, stepped one
// frame at a time on the recording target.
#include <gtest/gtest.h>

#include <cmath>

#include "game/missiles_fans.h"
#include "game/ring_spiral.h"
#include "game/tables.h"
#include "game_fixture.h"

namespace {

template <class Step>
void InFrame(Step step) {
  Recorder& r = TheRecorder();
  r.BeginFrame();
  step(r.target);
  r.EndFrame();
}

void PutEnemy(int slot, int alive, float x, float y) {
  g_enemies[slot].alive = alive;
  g_enemies[slot].x = x;
  g_enemies[slot].y = y;
}

template <int N>
int LiveEntries(const BulletPlanes<N>* sets, int firstSet, int lastSet, int slot) {
  int n = 0;
  for (int s = firstSet; s <= lastSet; ++s) {
    for (int j = 0; j < N; ++j) n += sets[s].active[slot][j] == 1.0f;
  }
  return n;
}

int DotsAt(float x, float y, uint32_t rgb) {
  int n = 0;
  for (const Segment& s : GlowSegments(TheRecorder().Commands())) {
    n += s.x0 == x && s.y0 == y && s.x1 == x + 1.0f && s.y1 == y + 1.0f && s.rgb == rgb;
  }
  return n;
}

TEST(RingBullets, AnEnemyInTheBandFillsItsFreeSetsInOneFrame) {
  const struct {
    int slot;
    int alive;
    float y;
    int live;
  } cases[] = {
      {5, 1, 150.0f, 108}, {5, 1, 149.9f, 0},  {20, 1, 200.0f, 324}, {20, 1, 200.1f, 0},
      {8, 1, 175.0f, 108}, {9, 1, 175.0f, 324}, {20, 0, 180.0f, 0},
  };
  for (const auto& c : cases) {
    ResetWholeGame();
    PutEnemy(c.slot, c.alive, 300.0f, c.y);
    InFrame(UpdateRingBullets);
    EXPECT_EQ(LiveEntries(g_ringBullets, 0, RING_SET_COUNT - 1, c.slot), c.live) << "slot " << c.slot << " y " << c.y;
    EXPECT_EQ(static_cast<int>(GlowSegments(TheRecorder().Commands()).size()), c.live);
  }

  // Slot 20 at (300, 180): three origins, each drawn before the first move.
  ResetWholeGame();
  PutEnemy(20, 1, 300.0f, 180.0f);
  InFrame(UpdateRingBullets);
  EXPECT_EQ(DotsAt(300, 240, 0xF000FF), 72);  // A1 and A3
  EXPECT_EQ(DotsAt(300, 240, 0xF00FFF), 36);  // A2
  EXPECT_EQ(DotsAt(240, 120, 0xFFFF00), 108);
  EXPECT_EQ(DotsAt(360, 120, 0xFFFF00), 108);
  EXPECT_NEAR(g_ringBullets[0].x[20][0], 298.29785f, 1e-4f);
  EXPECT_NEAR(g_ringBullets[0].y[20][0], 245.75349f, 1e-4f);
  // The angles (36 - j) x 10 are taken as radians: bullet 0 heads down and
  // a little left, bullet 35 up and left (A3 flies at 10).
  EXPECT_NEAR((g_ringBullets[2].x[20][0] - 300.0f) / 10.0f, -0.28369f, 1e-5f);
  EXPECT_NEAR((g_ringBullets[2].y[20][0] - 240.0f) / 10.0f, 0.95892f, 1e-5f);
  EXPECT_NEAR((g_ringBullets[2].x[20][35] - 300.0f) / 10.0f, -0.83907f, 1e-5f);
  EXPECT_NEAR((g_ringBullets[2].y[20][35] - 240.0f) / 10.0f, -0.54402f, 1e-5f);

  // Still in the band: nothing is refired while the entries fly; they fly on
  // after the enemy is gone.
  InFrame(UpdateRingBullets);
  EXPECT_EQ(DotsAt(300, 240, 0xF000FF) + DotsAt(240, 120, 0xFFFF00), 0);
  EXPECT_EQ(LiveEntries(g_ringBullets, 0, RING_SET_COUNT - 1, 20), 324);
  const float x = g_ringBullets[0].x[20][0];
  PutEnemy(20, 0, PARK_X, PARK_Y);
  InFrame(UpdateRingBullets);
  EXPECT_EQ(LiveEntries(g_ringBullets, 0, RING_SET_COUNT - 1, 20), 324);
  EXPECT_NEAR(g_ringBullets[0].x[20][0], x - 1.7021465f, 1e-4f);
}

TEST(SpiralBullets, TheCounterNamesTheEntryAndWrapsAfterThirtyFive) {
  ResetWholeGame();
  PutEnemy(30, 1, 300.0f, 400.0f);
  float afterFirst[2][2];
  for (int f = 1; f <= 36; ++f) {
    InFrame(UpdateSpiralBullets);
    ASSERT_EQ(g_spiralCounters[30], f % 35) << "frame " << f;
    const int k = f == 36 ? 1 : f;
    // Emitted into entry k and drawn where it was emitted before its first move.
    EXPECT_EQ(DotsAt(280, 400, 0x00FFFF), 1) << "frame " << f;
    EXPECT_EQ(DotsAt(320, 400, 0x00FFFF), 1) << "frame " << f;
    EXPECT_EQ(g_spiralBullets[0].active[30][0], 0.0f) << "entry 0 is never emitted";
    if (f == 1) {
      for (int s = 0; s < 2; ++s) {
        afterFirst[s][0] = g_spiralBullets[s].x[30][1];
        afterFirst[s][1] = g_spiralBullets[s].y[30][1];
      }
    }
    EXPECT_EQ(g_spiralBullets[0].active[30][k], 1.0f);
  }
  // Entry 1 was still in flight: taken back to the enemy and started again.
  for (int s = 0; s < 2; ++s) {
    EXPECT_EQ(g_spiralBullets[s].x[30][1], afterFirst[s][0]);
    EXPECT_EQ(g_spiralBullets[s].y[30][1], afterFirst[s][1]);
  }

  // The band, with a counter that carries over while the slot is out of it.
  const struct {
    int alive;
    float y;
    bool emits;
  } cases[] = {{1, 149.9f, false}, {1, 150.0f, true}, {1, 800.0f, true}, {1, 800.1f, false}, {0, 400.0f, false}};
  for (const auto& c : cases) {
    ResetWholeGame();
    g_spiralCounters[3] = 7;
    PutEnemy(3, c.alive, 300.0f, c.y);
    InFrame(UpdateSpiralBullets);
    EXPECT_EQ(g_spiralCounters[3], c.emits ? 8 : 7) << "y " << c.y;
    EXPECT_EQ(DotsAt(280, c.y, 0xFFF000), c.emits ? 1 : 0) << "y " << c.y;
  }
}

// 18 - j is an unsigned difference: from entry 19 on it wraps to a huge
// angle instead of going negative.
TEST(SpiralBullets, EachEntryStepsAlongItsOwnAngle) {
  const struct {
    int entry;
    float dx, dy;
  } cases[] = {
      {1, -15.46877f, -4.08866f}, {10, -0.46719f, 15.99318f}, {17, 15.68107f, 3.17871f},
      {18, 16.0f, 0.0f},          {19, 13.85027f, 8.01062f},  {35, -14.29426f, -7.18846f},
  };
  for (const auto& c : cases) {
    ResetWholeGame();
    g_spiralCounters[12] = c.entry - 1;
    PutEnemy(12, 1, 300.0f, 400.0f);
    InFrame(UpdateSpiralBullets);
    SCOPED_TRACE(testing::Message() << "entry " << c.entry);
    EXPECT_NEAR(g_spiralBullets[0].x[12][c.entry] - 280.0f, c.dx, 1e-4f);
    EXPECT_NEAR(g_spiralBullets[0].y[12][c.entry] - 400.0f, c.dy, 1e-4f);
    EXPECT_NEAR(g_spiralBullets[1].x[12][c.entry] - 320.0f, -c.dx, 1e-4f);
    EXPECT_NEAR(g_spiralBullets[1].y[12][c.entry] - 400.0f, c.dy, 1e-4f);
  }
}

TEST(Missiles, LaunchFromYOneHundredFallAndRelaunch) {
  const struct {
    int alive;
    float y;
    bool launches;
  } cases[] = {{1, 99.9f, false}, {1, 100.0f, true}, {0, 500.0f, false}, {1, 1100.0f, true}};
  for (const auto& c : cases) {
    ResetWholeGame();
    PutEnemy(4, c.alive, 250.0f, c.y);
    InFrame(UpdateMissiles);
    EXPECT_EQ(g_missiles.active[4], c.launches ? 1.0f : 0.0f) << "y " << c.y;
  }

  // From y 1100: drawn at 1100, 1118, 1136, 1154, parked after the fourth
  // frame, and launched again on the next while the enemy stays.
  ResetWholeGame();
  PutEnemy(30, 1, 250.0f, 1100.0f);
  const float drawnAt[] = {1100, 1118, 1136, 1154, 1100};
  for (int f = 0; f < 5; ++f) {
    InFrame(UpdateMissiles);
    const auto lines = GlowSegments(TheRecorder().Commands());
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_TRUE(lines[0].x0 == 240.0f && lines[0].y0 == drawnAt[f] + 30.0f) << "frame " << f;
    EXPECT_EQ(g_missiles.active[30], f == 3 ? 0.0f : 1.0f) << "frame " << f;
  }

  // From y 100, its enemy gone and the missile on its own: 60 frames, and it
  // never follows anything sideways.
  ResetWholeGame();
  PutEnemy(9, 1, 250.0f, 100.0f);
  InFrame(UpdateMissiles);
  PutEnemy(9, 0, PARK_X, PARK_Y);
  int frames = 1;
  float lastDrawn = 0.0f;
  for (; frames < 100 && g_missiles.active[9] == 1.0f; ++frames) {
    InFrame(UpdateMissiles);
    const auto lines = GlowSegments(TheRecorder().Commands());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].x0, 240.0f);
    lastDrawn = lines[0].y0 - 30.0f;
  }
  EXPECT_EQ(frames, 60);
  EXPECT_EQ(lastDrawn, 1162.0f);
  EXPECT_TRUE(g_missiles.x[9] == PARK_X && g_missiles.y[9] == PARK_Y);
}

TEST(Missiles, TheBundleGrowsWithTheSlot) {
  const struct {
    int slot;
    size_t lines;
  } cases[] = {{0, 2}, {8, 2}, {9, 4}, {23, 4}, {24, 8}, {47, 8}};
  for (const auto& c : cases) {
    ResetWholeGame();
    PutEnemy(c.slot, 1, 300.0f, 500.0f);
    InFrame(UpdateMissiles);
    const auto lines = GlowSegments(TheRecorder().Commands());
    ASSERT_EQ(lines.size(), c.lines) << "slot " << c.slot;
    EXPECT_TRUE(lines[0].x0 == 290.0f && lines[0].y0 == 530.0f && lines[0].x1 == 290.0f && lines[0].y1 == 580.0f);
    EXPECT_EQ(lines[0].rgb, 0x0FFFFFu);
    if (c.lines == 8) {
      EXPECT_TRUE(lines[7].x0 == 370.0f && lines[7].y0 == 500.0f && lines[7].x1 == 370.0f && lines[7].y1 == 550.0f);
      EXPECT_EQ(lines[7].rgb, 0xFFF000u);
    }
  }
}

TEST(FanBullets, TheBandsChooseTheSets) {
  const struct {
    float y;
    int down, up;
  } cases[] = {{149.9f, 0, 0}, {150.0f, 30, 0}, {200.0f, 30, 0}, {200.1f, 0, 0},
               {275.0f, 0, 0}, {350.0f, 0, 30}, {400.0f, 0, 30}, {400.1f, 0, 0}};
  for (const auto& c : cases) {
    ResetWholeGame();
    PutEnemy(17, 1, 300.0f, c.y);
    InFrame(UpdateFanBullets);
    EXPECT_EQ(LiveEntries(g_fanBullets, 0, 5, 17), c.down) << "y " << c.y;
    EXPECT_EQ(LiveEntries(g_fanBullets, 6, 11, 17), c.up) << "y " << c.y;
  }
}

TEST(FanBullets, SetsFlyAsLinesAndParkOnYAlone) {
  ResetWholeGame();
  PutEnemy(17, 1, 300.0f, 180.0f);
  InFrame(UpdateFanBullets);
  for (int n = 0; n < FAN_BULLETS; ++n) {
    EXPECT_EQ(g_fanBullets[0].x[17][n], 294.0f + n) << "D1 " << n;
    EXPECT_EQ(g_fanBullets[0].y[17][n], 240.0f - 10.0f * n) << "D1 " << n;
  }
  EXPECT_TRUE(g_fanBullets[4].x[17][0] == 264.0f && g_fanBullets[4].y[17][0] == 240.0f);
  PutEnemy(17, 0, PARK_X, PARK_Y);
  for (int f = 2; f <= 16; ++f) InFrame(UpdateFanBullets);
  EXPECT_EQ(g_fanBullets[4].active[17][0], 1.0f) << "far out at the side, but y alone parks it";
  EXPECT_EQ(g_fanBullets[4].x[17][0], 300.0f - 36.0f * 16);
  InFrame(UpdateFanBullets);
  EXPECT_EQ(g_fanBullets[4].active[17][0], 0.0f) << "parked at the end of its 17th frame";

  // An up bullet, n = 4, from y 400: parked at the end of its 40th frame, on the bound.
  ResetWholeGame();
  PutEnemy(17, 1, 300.0f, 400.0f);
  InFrame(UpdateFanBullets);
  PutEnemy(17, 0, PARK_X, PARK_Y);
  for (int f = 2; f <= 39; ++f) InFrame(UpdateFanBullets);
  EXPECT_EQ(g_fanBullets[6].y[17][4], -380.0f);
  InFrame(UpdateFanBullets);
  EXPECT_EQ(g_fanBullets[6].active[17][4], 0.0f);

  // Streaks lie beside and below (down sets) or above (up sets) the bullet.
  const struct {
    int set;
    uint32_t rgb;
    float x0, y0, x1, y1;
  } streaks[] = {{0, 0xF000FF, 290, 530, 286, 580}, {5, 0xF000FF, 310, 530, 334, 580},
                 {6, 0xFFFF00, 310, 530, 314, 480}, {11, 0xFFFF00, 290, 530, 266, 480}};
  for (const auto& s : streaks) {
    ResetWholeGame();
    g_fanBullets[s.set].x[40][2] = 300.0f;
    g_fanBullets[s.set].y[40][2] = 500.0f;
    g_fanBullets[s.set].active[40][2] = 1.0f;
    InFrame(UpdateFanBullets);
    const auto lines = GlowSegments(TheRecorder().Commands());
    ASSERT_EQ(lines.size(), 1u) << "set " << s.set;
    EXPECT_TRUE(lines[0].x0 == s.x0 && lines[0].y0 == s.y0 && lines[0].x1 == s.x1 && lines[0].y1 == s.y1)
        << "set " << s.set;
    EXPECT_EQ(lines[0].rgb, s.rgb);
  }
}

}  // namespace
