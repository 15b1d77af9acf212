// The homing lasers as a step of their own: the clock gate, the arming line,
// the first frame of a run, the hit box and the binding of laser i to enemy i.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "game/curl_laser.h"
#include "game/homing_lasers.h"
#include "game/tables.h"
#include "game_fixture.h"
#include "revision.h"

namespace {

void StepLasers() {
  TheRecorder().BeginFrame();
  UpdateHomingLasers(TheRecorder().target, g_homingLasers);
  TheRecorder().EndFrame();
}

size_t HomingLines() {
  size_t n = 0;
  for (const Segment& s : GlowSegments(TheRecorder().Commands())) n += s.rgb == kHomingColor;
  return n;
}

TEST(HomingLasers, NothingRunsBelowClockSixty) {
  for (float clock : {0.0f, 59.0f, 60.0f}) {
    ResetWholeGame();
    g_stageClock = clock;
    g_enemies[4] = Enemy{1, 300.0f, 100.0f, 0, 0, 0, 0};
    g_enemies[5] = Enemy{1, 300.0f, 100.0f, 0, 0, 0, 0};
    // A laser left mid-run by an earlier pass stands still as well.
    CurlLaser& old = g_homingLasers[7];
    old.active = 1.0f;
    old.head = 30;
    old.segState[3] = 1.0f;
    old.segX[3] = 200.0f;
    old.segY[3] = 300.0f;
    static CurlLaser before[ENEMY_COUNT];
    std::memcpy(before, g_homingLasers, sizeof before);
    StepLasers();
    const bool runs = clock >= HOMING_LASER_START;
    EXPECT_EQ(std::memcmp(before, g_homingLasers, sizeof before) != 0, runs) << "clock " << clock;
    EXPECT_EQ(HomingLines() != 0, runs) << "clock " << clock;
  }
  // The first frame of a run: segment 0 leaves 1 right of and 31 below the
  // fighter's centre and has made its first curl step; the rest wait there.
  // Even lasers swing out to the left, odd ones to the right, both downwards.
  for (int i : {4, 5}) {
    const CurlLaser& l = g_homingLasers[i];
    EXPECT_EQ(l.active, 1.0f);
    EXPECT_EQ(l.head, 0u);
    EXPECT_EQ(l.originX, 300.0f);
    EXPECT_EQ(l.originY, 550.0f);
    for (int j = 1; j < LASER_SEGMENTS; ++j) {
      EXPECT_EQ(l.segX[j], 301.0f);
      EXPECT_EQ(l.segY[j], 551.0f);
      EXPECT_EQ(l.segState[j], 0.0f);
    }
    const double curl = 3.14 + (i % 2 == 0 ? 3.14 : -3.14) / 21.0;
    const double h = curl + std::atan2(100.0 - 554.0, 300.0 - 312.0);
    EXPECT_EQ(l.segState[0], 1.0f);
    EXPECT_NEAR(l.segX[0], 301.0 + std::cos(h) * 18.0, 1e-3) << "laser " << i;
    EXPECT_NEAR(l.segY[0], 551.0 + std::sin(h) * 25.0, 1e-3) << "laser " << i;
    EXPECT_EQ(l.segX[0] < 301.0f, i % 2 == 0) << "laser " << i;
    EXPECT_GT(l.segY[0], 551.0f);
  }
}

TEST(HomingLasers, ArmedFromTheArmingLineOn) {
  const struct {
    float y;
    bool armed;
  } cases[] = {{-160.0f, true}, {-160.5f, false}, {PARK_Y, false}, {1000.0f, true}};
  for (const auto& c : cases) {
    ResetWholeGame();
    g_stageClock = 100.0f;
    g_enemies[9] = Enemy{1, 300.0f, c.y, 0, 0, 0, 0};
    StepLasers();
    EXPECT_EQ(g_homingLasers[9].active, c.armed ? 1.0f : 0.0f) << "y " << c.y;
    for (int i = 0; i < ENEMY_COUNT; ++i) {
      if (i != 9) {
        EXPECT_EQ(g_homingLasers[i].active, 0.0f);
      }
    }
  }
}

TEST(HomingLasers, TheHitBoxExcludesItsEdges) {
  const float ex = 300.0f, ey = 200.0f;
  const struct {
    float x, y;
    bool inside;
  } cases[] = {
      {280.0f, 210.0f, false}, {320.0f, 210.0f, false}, {300.0f, 190.0f, false}, {300.0f, 230.0f, false},
      {280.5f, 190.5f, true},  {319.5f, 229.5f, true},  {300.0f, 200.0f, true},  {300.0f, NAN, false},
  };
  for (const auto& c : cases) EXPECT_EQ(InHomingHitBox(c.x, c.y, ex, ey), c.inside) << c.x << ", " << c.y;
}

// A cruising segment of laser 5 moves about 30 pixels towards enemy 5 and
// lands in a hit box: only segment 18 in enemy 5's own box kills.
TEST(HomingLasers, OnlySegmentEighteenOfLaserIKillsEnemyI) {
  const struct {
    int segment;
    float e5x, e5y;  // enemy 5, the laser's target
    bool e6;         // enemy 6 placed where the segment lands
    bool absorbed, kills;
  } cases[] = {
      {18, 289.0f, 450.0f, false, true, true},
      {17, 289.0f, 450.0f, false, true, false},
      {20, 289.0f, 450.0f, false, true, false},
      {18, 300.0f, 200.0f, true, false, false},
  };
  for (const auto& c : cases) {
    ResetWholeGame();
    g_stageClock = 100.0f;
    g_enemies[5] = Enemy{1, c.e5x, c.e5y, 0, 0, 0, 0};
    if (c.e6) g_enemies[6] = Enemy{1, 289.0f, 460.0f, 0, 0, 0, 0};
    CurlLaser& l = g_homingLasers[5];
    l.active = 1.0f;
    l.head = 100;
    l.segState[c.segment] = 1.0f;
    l.segX[c.segment] = 289.0f;
    l.segY[c.segment] = 497.0f;
    l.curl[c.segment] = 2.0f * 3.14f;
    StepLasers();
    const char* what = c.kills ? "kill" : c.absorbed ? "absorb" : "pass";
    EXPECT_EQ(l.segState[c.segment], c.absorbed ? 0.0f : 1.0f) << what << " segment " << c.segment;
    EXPECT_LT(l.segY[c.segment], 480.0f) << what;
    EXPECT_EQ(g_enemies[5].hit, c.kills ? 1.0f : 0.0f) << what;
    EXPECT_EQ(g_enemies[6].hit, 0.0f) << what;
    EXPECT_EQ(LiveFlashes(), c.kills ? 1 : 0) << what;
    EXPECT_EQ(l.active, c.kills ? 0.0f : 1.0f) << what;
    EXPECT_EQ(l.head, c.kills ? CURL_ARMED : 101u) << what;
    if (c.kills) {
      EXPECT_EQ(g_hitFlashes[0].x, c.e5x);
      EXPECT_EQ(g_hitFlashes[0].y, c.e5y);
    }
  }
}

}  // namespace
