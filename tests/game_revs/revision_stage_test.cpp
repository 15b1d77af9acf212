// A whole pass of the stage in a revision, with scripted play: what must hold
// after every frame, the same state on a second run, and no heap allocation
// inside a frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "alloc_counter.h"
#include "app/shell.h"
#include "game/homing_lasers.h"
#include "game/lock_on.h"
#include "game/rng.h"
#include "game/tables.h"
#include "game_fixture.h"
#include "revision.h"

namespace {

constexpr int kStageFrames = 14300;

// Sweeps the fighter across its box and taps Space every eight frames.
void ScriptKeys(int frame) {
  HoldKey(VK_LEFT, (frame / 110) % 2 == 0);
  HoldKey(VK_RIGHT, (frame / 110) % 2 == 1);
  HoldKey(VK_UP, (frame / 300) % 3 == 0);
  HoldKey(VK_DOWN, (frame / 300) % 3 == 1);
  HoldKey(VK_SPACE, frame % 8 < 4);
}

template <class T>
void Mix(uint64_t& h, const T& value) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(&value);
  for (size_t i = 0; i < sizeof value; ++i) h = (h ^ p[i]) * 1099511628211ull;
}

uint64_t StateHash() {
  uint64_t h = 1469598103934665603ull;
  Mix(h, g_shots);
  Mix(h, g_enemies);
  Mix(h, g_homingLasers);
  Mix(h, g_enemyLasers);
  Mix(h, g_debris);
  Mix(h, g_hitFlashes);
  Mix(h, g_playerX);
  Mix(h, g_playerY);
  Mix(h, g_stageClock);
  Mix(h, g_score);
  Mix(h, g_hitCount);
  Mix(h, g_randState);
  return h;
}

std::string CheckLasers() {
  for (int i = 0; i < ENEMY_COUNT; ++i) {
    const CurlLaser& l = g_homingLasers[i];
    if (l.active != 0.0f && l.active != 1.0f) return "laser active " + std::to_string(i);
    for (int j = 0; j < LASER_SEGMENTS; ++j) {
      const float s = l.segState[j], x = l.segX[j], y = l.segY[j];
      if (s != 0.0f && s != 1.0f && s != 2.0f) return "segment state";
      // Leave spends a segment the moment it is outside the field box.
      if (s == 1.0f && !(x >= -800.0f && x <= 1400.0f && y >= -100.0f && y <= 1168.0f))
        return "live segment outside the field, laser " + std::to_string(i);
    }
  }
  return "";
}

struct Totals {
  uint64_t hash;
  long bursts, kills, locks;
  int hitSounds, straySoundCalls;
};

Totals RunStage(bool check) {
  ResetWholeGame();
  Totals t{0, 0, 0, 0, 0, 0};
  static CurlLaser lasersBefore[ENEMY_COUNT];
  for (int f = 0; f < kStageFrames; ++f) {
    ScriptKeys(f);
    Enemy before[ENEMY_COUNT];
    std::memcpy(before, g_enemies, sizeof before);
    std::memcpy(lasersBefore, g_homingLasers, sizeof lasersBefore);
    const float clock = g_stageClock;
    const uint32_t hitsBefore = g_hitCount;
    int freeFlashes = 0;
    for (const HitFlash& fl : g_hitFlashes) freeFlashes += fl.framesLeft == 0;
    const uint32_t randBefore = g_randState;
    const float scoreBefore = g_score;
    ClearSounds();
    RunPaintFrame();
    const int hits = SoundsNamed(L"hit");
    const int locs = SoundsNamed(L"loc");
    t.hitSounds += hits;
    t.straySoundCalls += StraySoundCalls();
    if (!check) continue;

    std::string fault = CheckLasers();
    if (clock < HOMING_LASER_START && std::memcmp(lasersBefore, g_homingLasers, sizeof lasersBefore) != 0)
      fault = "lasers moved before clock 60";
    // A struck enemy bursts in the next frame's loop (or is parked at the
    // bottom); one "hit" and 821 draws per burst, and its points.
    long bursts = 0, kills = 0;
    float score = scoreBefore;
    for (int k = 0; k < ENEMY_COUNT; ++k) {
      const bool burst = before[k].alive == 1 && g_enemies[k].alive == 0 && before[k].y < 1100.0f;
      if (before[k].hit == 1.0f && g_enemies[k].alive != 0) fault = "struck enemy survived " + std::to_string(k);
      if (burst && !kShotsHit && before[k].hit != 1.0f) fault = "burst without a laser kill " + std::to_string(k);
      if (burst) score = (score + 25.0f) + static_cast<float>(k), ++bursts;
      kills += g_enemies[k].hit == 1.0f;
    }
    if (g_score != score) fault = "score";
    if (hits != bursts) fault = "hit sounds " + std::to_string(hits) + " for " + std::to_string(bursts) + " bursts";
    uint32_t s = randBefore;
    for (long n = 0; n < 821 * bursts; ++n) s = s * 214013u + 2531011u;
    if (g_randState != s) fault = "random draws";
    // Every shot contact and every laser kill raises a flash while a slot is free.
    int newFlashes = 0;
    for (const HitFlash& fl : g_hitFlashes) newFlashes += fl.framesLeft == 5;
    const long raised = kills + static_cast<long>(g_hitCount - hitsBefore);
    if (newFlashes != std::min<long>(raised, freeFlashes)) fault = "flashes";
    if (!kShotsHit && g_hitCount != 0) fault = "a shot hit";
    int locked = 0;
    for (const Enemy& e : g_enemies) locked += IsLockedOn(e.x, e.y, g_playerX, g_playerY);
    if (locs != (kLockOnShown ? locked : 0)) fault = "loc " + std::to_string(locs) + " for " + std::to_string(locked);
    if (!fault.empty()) {
      ADD_FAILURE() << "frame " << f << ": " << fault;
      return t;
    }
    t.bursts += bursts;
    t.kills += kills;
    t.locks += locked;
  }
  t.hash = StateHash();
  return t;
}

TEST(RevisionStage, ScriptedPlayKeepsEveryInvariantAndReplaysIdentically) {
  const Totals first = RunStage(true);
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(g_stageClock, 0.0f);
  EXPECT_GT(first.kills, 20);
  EXPECT_GT(first.bursts, 20);
  EXPECT_EQ(first.hitSounds, first.bursts);
  EXPECT_GT(first.locks, 0);
  EXPECT_EQ(first.straySoundCalls, 0);
  const Totals second = RunStage(false);
  EXPECT_EQ(second.hash, first.hash);
  EXPECT_EQ(second.hitSounds, first.hitSounds);
}

TEST(RevisionStage, AFrameAllocatesNothing) {
  ResetWholeGame();
  for (int f = 0; f < 200; ++f) {
    ScriptKeys(f);
    RunPaintFrame();
  }
  uint64_t worst = 0;
  int frameOfWorst = -1;
  for (int f = 200; f < kStageFrames; ++f) {
    ScriptKeys(f);
    Recorder& r = TheRecorder();
    r.BeginFrame();
    const uint64_t before = d2dtest::AllocationsSoFar();
    RenderFrame(r.target);
    const uint64_t made = d2dtest::AllocationsSoFar() - before;
    r.EndFrame();
    if (made > worst) worst = made, frameOfWorst = f;
  }
  EXPECT_EQ(worst, 0u) << "first at frame " << frameOfWorst;
}

}  // namespace
