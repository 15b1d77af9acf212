// The curling lasers: the pod lasers' bursts, spent segments and refire,
// the unsigned head, the field box, and the enemy lasers' arming.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "game/curl_laser.h"
#include "game/tables.h"
#include "game_fixture.h"

extern CurlLaser g_podLasers[POD_COUNT];

namespace {

constexpr uint32_t kPodGreen = 0x00AA00;
constexpr uint32_t kEnemyBlue = 0x000AFF;

template <class Step>
void InFrame(Step step) {
  Recorder& r = TheRecorder();
  r.BeginFrame();
  step(r.target);
  r.EndFrame();
}

void StepPods() {
  InFrame([](ID2D1RenderTarget* t) { UpdatePodLasers(t, g_podLasers); });
}
void StepEnemyLasers() {
  InFrame([](ID2D1RenderTarget* t) { UpdateEnemyLasers(t); });
}

int LinesOf(uint32_t rgb) {
  int n = 0;
  for (const Segment& s : GlowSegments(TheRecorder().Commands())) n += s.rgb == rgb;
  return n;
}

void PutEnemy(int slot, int alive, float x, float y) {
  g_enemies[slot].alive = alive;
  g_enemies[slot].x = x;
  g_enemies[slot].y = y;
}

TEST(PodLasers, ABurstEmitsOneSegmentPerFrameAlongOnePathAndCurlsHalfATurn) {
  ResetWholeGame();
  constexpr int kFrames = 24;
  float pathX[kFrames][POD_COUNT][LASER_SEGMENTS];
  float pathY[kFrames][POD_COUNT][LASER_SEGMENTS];
  float minX[POD_COUNT], maxX[POD_COUNT];
  for (int k = 0; k < POD_COUNT; ++k) minX[k] = maxX[k] = g_podX[k] + 1.0f;
  for (int t = 0; t < kFrames; ++t) {
    StepPods();
    // Segments 1..18 that are live start one line each; none has left yet.
    EXPECT_EQ(LinesOf(kPodGreen), POD_COUNT * (t < 18 ? t : 18)) << "frame " << t;
    for (int k = 0; k < POD_COUNT; ++k) {
      const CurlLaser& l = g_podLasers[k];
      EXPECT_EQ(l.head, static_cast<uint32_t>(t));
      for (int j = 0; j < LASER_SEGMENTS; ++j) {
        pathX[t][k][j] = l.segX[j];
        pathY[t][k][j] = l.segY[j];
        EXPECT_EQ(l.segState[j], j <= t ? 1.0f : 0.0f) << "frame " << t << " pod " << k << " segment " << j;
        // Not yet emitted: waiting where the burst began.
        if (j > t) {
          EXPECT_TRUE(l.segX[j] == g_podX[k] + 1.0f && l.segY[j] == g_podY[k] + 31.0f);
        }
        // Every segment retraces segment 0's path, j frames behind it.
        if (j <= t) {
          EXPECT_EQ(l.segX[j], pathX[t - j][k][0]) << "frame " << t << " pod " << k << " segment " << j;
          EXPECT_EQ(l.segY[j], pathY[t - j][k][0]) << "frame " << t << " pod " << k << " segment " << j;
        }
      }
      minX[k] = std::fmin(minX[k], l.segX[0]);
      maxX[k] = std::fmax(maxX[k], l.segX[0]);
    }
  }
  for (int k = 0; k < POD_COUNT; ++k) {
    const CurlLaser& l = g_podLasers[k];
    const float sign = k % 2 == 0 ? 1.0f : -1.0f;
    EXPECT_EQ(l.originX, g_podX[k]);
    EXPECT_EQ(l.originY, g_podY[k] + 30.0f);
    // The first move, from (x + 1, y + 31), heading away from (300, -411).
    const double sx = g_podX[k] + 1.0, sy = g_podY[k] + 31.0;
    const double h = 3.14 + sign * 3.14 / 21 + std::atan2(-411.0 - (sy + 3), 300.0 - (sx + 11));
    EXPECT_NEAR(pathX[0][k][0], sx + 14 * std::cos(h), 1e-3) << "pod " << k;
    EXPECT_NEAR(pathY[0][k][0], sy + 20 * std::sin(h), 1e-3) << "pod " << k;
    EXPECT_GT(pathY[0][k][0], sy) << "sets out downwards";
    // Half a turn of g_pi in 21 steps; then it cruises at the target at 30 a frame.
    EXPECT_NEAR(l.curl[0], 3.14f + sign * 3.14f, 1e-4f) << "pod " << k;
    EXPECT_NEAR(std::hypot(l.segVX[0], l.segVY[0]), 30.0, 1e-3);
    const double toX = 300.0 - (l.segX[0] - l.segVX[0] + 11), toY = -411.0 - (l.segY[0] - l.segVY[0] + 3);
    EXPECT_GT((l.segVX[0] * toX + l.segVY[0] * toY) / (30.0 * std::hypot(toX, toY)), 0.9999);
    // Pods 1 and 3 swing out to the left, 2 and 4 to the right.
    if (k % 2 == 0) {
      EXPECT_LT(minX[k], g_podX[k] - 30.0f) << "pod " << k;
    } else {
      EXPECT_GT(maxX[k], g_podX[k] + 30.0f) << "pod " << k;
    }
  }
}

TEST(PodLasers, SpentSegmentsParkAndTheLastOneRefiresFromWhereThePodIsNow) {
  ResetWholeGame();
  CurlLaser& l = g_podLasers[0];
  int leftAt[LASER_SEGMENTS];
  for (int& f : leftAt) f = -1;
  int frame = 0;
  for (; frame < 300 && (frame == 0 || l.active == 1.0f); ++frame) {
    // The fighter moves during the burst; the burst stays where it began.
    if (frame == 5) g_podX[0] += 40.0f;
    StepPods();
    if (frame >= 5 && l.head < 20u) {
      EXPECT_EQ(l.segX[20], 251.0f);
      EXPECT_EQ(l.segY[20], 601.0f);
    }
    for (int j = 0; j < LASER_SEGMENTS; ++j) {
      if (l.segState[j] == 2.0f && leftAt[j] < 0) leftAt[j] = frame;
    }
  }
  ASSERT_EQ(l.active, 0.0f) << "no reset within 300 frames";
  // One path one frame apart: they leave in index order, one per frame.
  for (int j = 1; j < LASER_SEGMENTS; ++j) EXPECT_EQ(leftAt[j], leftAt[j - 1] + 1) << "segment " << j;
  EXPECT_EQ(leftAt[20], frame - 1);
  EXPECT_EQ(l.head, CURL_ARMED);
  EXPECT_EQ(l.originX, 290.0f);
  EXPECT_EQ(l.originY, 570.0f);
  for (int j = 0; j < 20; ++j) {
    EXPECT_EQ(l.segState[j], 2.0f);
    EXPECT_TRUE(l.segX[j] == -1550.0f && l.segY[j] == -3550.0f) << "segment " << j;
  }
  // The segment whose leave reset the laser lies at the pod's point.
  EXPECT_EQ(l.segState[20], 2.0f);
  EXPECT_TRUE(l.segX[20] == 291.0f && l.segY[20] == 571.0f);

  // Next frame the chain is back at the pod, 30 lower; only segment 0 is live and moves.
  g_podX[0] = 260.0f;
  StepPods();
  EXPECT_EQ(l.active, 1.0f);
  EXPECT_EQ(l.head, 0u);
  EXPECT_EQ(l.segState[0], 1.0f);
  for (int j = 1; j < LASER_SEGMENTS; ++j) {
    EXPECT_EQ(l.segState[j], 2.0f);
    EXPECT_TRUE(l.segX[j] == 261.0f && l.segY[j] == 601.0f) << "segment " << j;
  }
  EXPECT_FALSE(l.segX[0] == 261.0f && l.segY[0] == 601.0f);
}

// One laser stepped by hand with the pods' parameters: which segments curl,
// cruise, wait, draw and leave for a given head.
enum Motion { Curls, Cruises, Waits };

TEST(CurlLaserRoutine, HeadComparesUnsignedAndTheBoxEdgesAreInside) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    uint32_t head;
    float active;
    int j;
    float x, y;
    Motion motion;
    bool spent;
  } cases[] = {
      {CURL_ARMED, 0.0f, 5, 300, 500, Cruises, false},  // after a Reset: every live segment cruises
      {4, 1.0f, 5, 300, 500, Curls, false},             // firing: head 5 emits segment 5, which curls at once
      {25, 0.0f, 4, 300, 500, Cruises, false},          // head j + 21
      {24, 0.0f, 4, 300, 500, Curls, false},            // head j + 20
      {2, 0.0f, 10, 300, 500, Waits, false},            // head below j: a leftover waits, still drawn
      {2, 0.0f, 10, 1400, 1168, Waits, false},          // on the right and bottom edges: inside
      {2, 0.0f, 10, -800, -100, Waits, false},          // on the left and top edges: inside
      {2, 0.0f, 10, std::nextafter(1400.0f, 2000.0f), 500, Waits, true},
      {2, 0.0f, 10, 300, std::nextafter(-100.0f, -200.0f), Waits, true},
      {2, 0.0f, 10, nan, 500, Waits, false},            // NaN fails every ordered test
  };
  CurlLaserParams p = {};
  p.sourceX = 250.0f;
  p.sourceY = 570.0f;
  p.targetX = 300.0f;
  p.targetY = -411.0f;
  p.curlStep = CurlStep(+1);
  p.curlSpeedX = 14.0f;
  p.curlSpeedY = 20.0f;
  p.cruiseSpeedX = 30.0f;
  p.cruiseSpeedY = 30.0f;
  p.box = CurlFieldBox{-800.0f, -100.0f, 1400.0f, 1168.0f};
  p.color = kPodGreen;
  for (const auto& c : cases) {
    CurlLaser l = {};
    for (int j = 0; j < LASER_SEGMENTS; ++j) {
      l.segX[j] = 100.0f;
      l.segY[j] = 200.0f;
    }
    l.head = c.head;
    l.active = c.active;
    l.originX = 250.0f;
    l.originY = 600.0f;
    l.segX[c.j] = c.x;
    l.segY[c.j] = c.y;
    l.segState[c.j] = 1.0f;
    l.curl[c.j] = 4.0f;
    InFrame([&](ID2D1RenderTarget* t) { StepCurlLaser(t, l, p); });
    const auto lines = GlowSegments(TheRecorder().Commands());
    const bool emitted = c.active == 1.0f;
    const float x0 = emitted ? 251.0f : c.x, y0 = emitted ? 601.0f : c.y;
    const double moved = std::hypot(l.segX[c.j] - x0, l.segY[c.j] - y0);
    SCOPED_TRACE(testing::Message() << "head " << c.head << " segment " << c.j << " at " << c.x << ", " << c.y);
    EXPECT_EQ(l.segState[c.j], c.spent ? 2.0f : 1.0f);
    if (c.spent) {
      EXPECT_TRUE(l.segX[c.j] == -1550.0f && l.segY[c.j] == -3550.0f);
      EXPECT_EQ(l.active, c.active) << "segment 20 is inside: no reset";
      continue;
    }
    if (c.motion == Waits) {
      EXPECT_TRUE(l.segX[c.j] == c.x || (std::isnan(c.x) && std::isnan(l.segX[c.j])));
      EXPECT_EQ(l.segY[c.j], c.y);
      EXPECT_EQ(l.curl[c.j], 4.0f);
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0].y0, c.y);
      EXPECT_TRUE(lines[0].x1 == 100.0f && lines[0].y1 == 200.0f) << "to segment j + 1 where it stands";
    } else if (c.motion == Cruises) {
      EXPECT_EQ(l.curl[c.j], 4.0f);
      EXPECT_NEAR(moved, 30.0, 1e-3);
    } else {
      EXPECT_EQ(l.curl[c.j], (emitted ? 3.14f : 4.0f) + CurlStep(+1));
      EXPECT_GT(moved, 13.9);
      EXPECT_LT(moved, 20.1);
    }
  }
  EXPECT_NEAR(CurlStep(+1), 0.1495238f, 1e-7f);
  EXPECT_EQ(CurlStep(-1), -CurlStep(+1));
}

TEST(EnemyLasers, ArmFromSlotThreeAtYTwoHundredWhateverTheEnemysAlive) {
  const struct {
    int slot;
    int alive;
    float y;
    bool arms;
  } cases[] = {
      {0, 1, 300.0f, false}, {2, 1, 500.0f, false}, {3, 1, 200.0f, true},  {3, 1, 199.9f, false},
      {8, 1, 400.0f, true},  {9, 0, 250.0f, true},  {47, 1, 200.0f, true}, {47, 1, -3550.0f, false},
  };
  for (const auto& c : cases) {
    ResetWholeGame();
    PutEnemy(c.slot, c.alive, 280.0f, c.y);
    StepEnemyLasers();
    const CurlLaser& l = g_enemyLasers[c.slot];
    SCOPED_TRACE(testing::Message() << "slot " << c.slot << " y " << c.y);
    if (!c.arms) {
      EXPECT_EQ(l.active, 0.0f);
      EXPECT_EQ(l.head, 0u);
      EXPECT_TRUE(l.originX == PARK_X && l.originY == PARK_Y);
      for (int j = 0; j < LASER_SEGMENTS; ++j) {
        EXPECT_TRUE(l.segX[j] == PARK_X && l.segY[j] == PARK_Y && l.segState[j] == 0.0f);
      }
      EXPECT_EQ(LinesOf(kEnemyBlue), 0);
      continue;
    }
    EXPECT_EQ(l.active, 1.0f);
    EXPECT_EQ(l.head, 0u);
    EXPECT_TRUE(l.originX == 280.0f && l.originY == c.y + 30.0f);
    EXPECT_EQ(l.segState[0], 1.0f);
    EXPECT_TRUE(l.segX[20] == 281.0f && l.segY[20] == c.y + 31.0f);
    // It sets out upwards, away from (300, 2000); 3..8 curl one way, 9..47 the other.
    EXPECT_LT(l.segY[0], c.y + 31.0f);
    EXPECT_EQ(l.curl[0], 3.14f + CurlStep(c.slot < 9 ? -1 : +1));
    EXPECT_NEAR(std::hypot(l.segVX[0] / 24.0, l.segVY[0] / 30.0), 1.0, 1e-5);
  }
}

TEST(EnemyLasers, ABurstOutlivesItsEnemyAndALowEnemyResetsEarly) {
  // Removed during the burst: the burst goes on from its fixed point.
  ResetWholeGame();
  PutEnemy(12, 1, 200.0f, 300.0f);
  for (int f = 0; f < 5; ++f) StepEnemyLasers();
  PutEnemy(12, 0, PARK_X, PARK_Y);
  CurlLaser& l = g_enemyLasers[12];
  int frames = 0;
  for (; frames < 300 && l.active == 1.0f; ++frames) {
    StepEnemyLasers();
    if (l.head < 20u) {
      EXPECT_TRUE(l.segX[20] == 201.0f && l.segY[20] == 331.0f);
    }
  }
  ASSERT_EQ(l.active, 0.0f);
  EXPECT_GE(frames, 16) << "segment 20 can't leave before it is emitted";
  for (int f = 0; f < 30; ++f) StepEnemyLasers();
  EXPECT_EQ(l.active, 0.0f) << "no enemy at y 200 or more: stays idle";
  for (int j = 0; j < LASER_SEGMENTS; ++j) EXPECT_EQ(l.segState[j], 2.0f);

  // Lower than 837 the emission point is outside the box: the first
  // segment to leave resets the laser before its burst is complete. The
  // next frame restarts it from the enemy's new position, where leftovers
  // of the cut burst that are still live are brought: the first of them to
  // take its turn is found outside and resets it again.
  ResetWholeGame();
  PutEnemy(20, 1, 300.0f, 850.0f);
  CurlLaser& low = g_enemyLasers[20];
  int f = 0;
  for (; f < 25 && (f == 0 || low.active == 1.0f); ++f) StepEnemyLasers();
  ASSERT_EQ(low.active, 0.0f);
  EXPECT_LT(f, 21) << "reset before every segment was emitted";
  EXPECT_EQ(low.head, CURL_ARMED);
  int leftovers = 0;
  for (int j = 1; j < LASER_SEGMENTS; ++j) leftovers += low.segState[j] == 1.0f;
  PutEnemy(20, 1, 320.0f, 860.0f);
  StepEnemyLasers();
  EXPECT_EQ(low.curl[0], 3.14f + CurlStep(+1)) << "segment 0 emitted anew";
  EXPECT_NEAR(std::hypot(low.segX[0] - 321.0f, low.segY[0] - 891.0f), 27.0, 3.0);
  if (leftovers > 0) {
    EXPECT_EQ(low.head, CURL_ARMED);
    EXPECT_TRUE(low.originX == 320.0f && low.originY == 860.0f);
  } else {
    EXPECT_EQ(low.head, 0u);
    EXPECT_TRUE(low.originX == 320.0f && low.originY == 890.0f);
  }
}

}  // namespace
