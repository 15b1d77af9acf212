// Whole frames of a revision: the lock-on display (r3 only, without its
// line), what a shot does to an enemy, and a homing laser's kill from its
// flash to the next frame's burst.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "game/curl_laser.h"
#include "game/homing_lasers.h"
#include "game/rng.h"
#include "game/tables.h"
#include "game_fixture.h"
#include "revision.h"

namespace {

bool FromSheet(const vxtest::Command& c, float l, float t, float r, float b) {
  return c.op == vxtest::Op::DrawBitmap && SameRect(c.source, l, t, r, b);
}

TEST(RevisionFrame, LockOnMarksWithoutALineOnlyInTheLaterRevision) {
  ResetWholeGame();
  g_stageClock = 13200.0f;  // no spawns; live enemies dive 6 a frame
  const float at[3][2] = {{300, 300}, {160, 200}, {450, 500}};
  for (int k = 0; k < 3; ++k) g_enemies[k] = Enemy{1, at[k][0], at[k][1], 0, 0, 0, 0};
  for (int frame = 0; frame < 3; ++frame) {
    ClearSounds();
    RunPaintFrame();
    const auto& cmds = TheRecorder().Commands();
    int frames = 0, markers = 0, sights = 0, lockLines = 0;
    size_t lastMark = 0, firstHoming = cmds.size(), lastHoming = 0, sight = 0;
    for (size_t i = 0; i < cmds.size(); ++i) {
      const auto& c = cmds[i];
      if (FromSheet(c, 1200, 300, 1600, 600)) ++frames;
      if (FromSheet(c, 200, 0, 270, 70)) ++markers;
      if (FromSheet(c, 1200, 300, 1600, 600) || FromSheet(c, 200, 0, 270, 70)) lastMark = i;
      if (FromSheet(c, 1200, 0, 1600, 300)) ++sights, sight = i;
      if (c.op != vxtest::Op::DrawLine) continue;
      if (c.color.r != 0.0f || c.color.b != 0.0f) continue;
      lockLines += c.color.g == 1.0f;
      if (c.color.g > 0.66f && c.color.g < 0.67f) {  // 0x00AA00
        firstHoming = std::min(firstHoming, i);
        lastHoming = i;
      }
    }
    const int locked = kLockOnShown ? 3 : 0;
    EXPECT_EQ(frames, locked) << "frame " << frame;
    EXPECT_EQ(markers, locked) << "frame " << frame;
    EXPECT_EQ(SoundsNamed(L"loc"), locked) << "frame " << frame;
    EXPECT_EQ(lockLines, 0) << "frame " << frame;
    EXPECT_EQ(sights, 1) << "frame " << frame;
    // The lasers draw over the marks and under the sight.
    if (frame == 2) {
      ASSERT_LT(firstHoming, cmds.size());
      EXPECT_GT(firstHoming, lastMark);
      EXPECT_GT(sight, lastHoming);
    }
  }
}

// Two shots of the fighter's gun reach one enemy in the same frame. Clock
// 40: the homing lasers are still idle, so only the shots can kill.
TEST(RevisionFrame, ShotsHitSilentlyOrPassThrough) {
  ResetWholeGame();
  g_stageClock = 40.0f;
  HoldKey(VK_SPACE, true);
  RunPaintFrame();  // shot A, now at y 486
  HoldKey(VK_SPACE, false);
  RunPaintFrame();  // A at 470
  HoldKey(VK_SPACE, true);
  g_enemies[0] = Enemy{1, 300.0f, 470.0f, 0, 0, 0, 0};
  ClearSounds();
  const uint32_t randBefore = g_randState;
  RunPaintFrame();  // A at 454 and B at 486, each 16 from the enemy
  EXPECT_EQ(g_hitCount, kShotsHit ? 2u : 0u);
  EXPECT_EQ(LiveFlashes(), kShotsHit ? 2 : 0);
  // One burst in the same frame, with one "hit" for the enemy, not per shot.
  EXPECT_EQ(g_enemies[0].alive, kShotsHit ? 0 : 1);
  EXPECT_EQ(g_score, kShotsHit ? 25.0f : 0.0f);
  EXPECT_EQ(SoundsNamed(L"hit"), kShotsHit ? 1 : 0);
  EXPECT_EQ(g_randState != randBefore, kShotsHit);
  EXPECT_EQ(g_shots[0][0].alive, kShotsHit ? 0 : 1);
  EXPECT_EQ(g_shots[0][1].alive, kShotsHit ? 0 : 1);
  EXPECT_EQ(StraySoundCalls(), 0);
}

// Enemy 20 dives towards the fighter; its laser reaches it with segment 18.
// The kill frame has the flash and nothing else; the next frame has the
// burst, its points and one "hit".
TEST(RevisionFrame, ALaserKillFlashesAtOnceAndBurstsInTheNextFrame) {
  ResetWholeGame();
  g_stageClock = 13200.0f;
  g_enemies[20] = Enemy{1, 300.0f, 100.0f, 0, 0, 0, 0};
  const CurlLaser& l = g_homingLasers[20];
  int frame = 0;
  bool absorbedBeforeKill = false;
  for (; frame < 150 && g_enemies[20].hit == 0.0f; ++frame) {
    EXPECT_EQ(LiveFlashes(), 0) << "frame " << frame;
    for (int j = 0; j < LASER_SEGMENTS; ++j) absorbedBeforeKill |= j < int(l.head) && l.segState[j] == 0.0f;
    ClearSounds();
    RunPaintFrame();
  }
  ASSERT_EQ(g_enemies[20].hit, 1.0f) << "no kill in " << frame << " frames";
  EXPECT_TRUE(absorbedBeforeKill);
  const Enemy killed = g_enemies[20];
  EXPECT_EQ(killed.alive, 1);
  EXPECT_EQ(l.segState[LASER_KILL_SEGMENT], 0.0f);
  EXPECT_EQ(l.active, 0.0f);
  EXPECT_EQ(l.head, CURL_ARMED);
  ASSERT_EQ(LiveFlashes(), 1);
  EXPECT_EQ(g_hitFlashes[0].x, killed.x);
  EXPECT_EQ(g_hitFlashes[0].y, killed.y);
  EXPECT_EQ(g_hitFlashes[0].framesLeft, 5u);  // already drawn in the kill frame's paint
  EXPECT_EQ(OfKind(TheRecorder().Commands(), vxtest::Op::FillEllipse).size(), 3u);
  EXPECT_EQ(SoundsNamed(L"hit"), 0);
  EXPECT_EQ(g_score, 0.0f);

  ClearSounds();
  const uint32_t randBefore = g_randState;
  RunPaintFrame();
  EXPECT_EQ(g_enemies[20].alive, 0);
  EXPECT_EQ(g_score, 25.0f + 20.0f);
  EXPECT_EQ(SoundsNamed(L"hit"), 1);
  uint32_t s = randBefore;
  for (int n = 0; n < 821; ++n) s = s * 214013u + 2531011u;
  EXPECT_EQ(g_randState, s);
  // The parked enemy is not armed for again.
  RunPaintFrame();
  EXPECT_EQ(l.active, 0.0f);
}

// After the clock wraps the table rests, as it stood, through clock 59.
TEST(RevisionFrame, TheLasersRestForSixtyFramesOfEveryPass) {
  ResetWholeGame();
  g_stageClock = 14290.0f;
  g_enemies[30] = Enemy{1, 300.0f, 100.0f, 0, 0, 0, 0};
  for (int f = 0; f < 10; ++f) RunPaintFrame();
  ASSERT_EQ(g_stageClock, 0.0f);
  ASSERT_EQ(g_homingLasers[30].active, 1.0f);
  static CurlLaser before[ENEMY_COUNT];
  std::memcpy(before, g_homingLasers, sizeof before);
  for (int f = 0; f < 60; ++f) RunPaintFrame();
  EXPECT_EQ(std::memcmp(before, g_homingLasers, sizeof before), 0);
  RunPaintFrame();
  EXPECT_NE(std::memcmp(before, g_homingLasers, sizeof before), 0);
}

}  // namespace
