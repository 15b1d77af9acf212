// A whole pass of the stage in a revision, with scripted play: what must hold
// after every frame, the same state on a second run, and no heap allocation
// inside a frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "app/shell.h"
#include "game/homing_lasers.h"
#include "game/lock_on.h"
#include "game/rng.h"
#include "game/tables.h"
#include "game_fixture.h"
#include "revision.h"
#include "stage_run.h"

namespace {

// The whole game state of every seventh frame of one scripted stage in each
// revision, its drawing and its sounds. Any change to the game's arithmetic,
// drawing order or sound cues changes it.
constexpr uint64_t kStageHash = VX_PROGRAM_REVISION == 2 ? 0x1569132e15f6a17dull : 0xc4602d5f450a6fe1ull;

// Sweeps the fighter across its box and taps Space every eight frames.
void ScriptKeys(int frame) {
  HoldKey(VK_LEFT, (frame / 110) % 2 == 0);
  HoldKey(VK_RIGHT, (frame / 110) % 2 == 1);
  HoldKey(VK_UP, (frame / 300) % 3 == 0);
  HoldKey(VK_DOWN, (frame / 300) % 3 == 1);
  HoldKey(VK_SPACE, frame % 8 < 4);
}

void MixState(support::Hash& h) {
  h.Add(g_shots);
  h.Add(g_enemies);
  h.Add(g_homingLasers);
  h.Add(g_enemyLasers);
  h.Add(g_debris);
  h.Add(g_hitFlashes);
  h.Add(g_playerX);
  h.Add(g_playerY);
  h.Add(g_stageClock);
  h.Add(g_score);
  h.Add(g_hitCount);
  h.Add(g_randState);
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
  long bursts = 0, kills = 0, locks = 0;
};

// A pass that checks every frame: lasers, bursts, sounds, flashes, lock-on.
support::StageRun CheckedRun(Totals& t) {
  static CurlLaser lasersBefore[ENEMY_COUNT];
  Enemy before[ENEMY_COUNT];
  float clock = 0.0f, scoreBefore = 0.0f;
  uint32_t hitsBefore = 0, randBefore = 0;
  int freeFlashes = 0;
  support::StageHooks hooks;
  hooks.keys = ScriptKeys;
  hooks.mixState = MixState;
  hooks.before = [&](int) {
    std::memcpy(before, g_enemies, sizeof before);
    std::memcpy(lasersBefore, g_homingLasers, sizeof lasersBefore);
    clock = g_stageClock;
    hitsBefore = g_hitCount;
    freeFlashes = 0;
    for (const HitFlash& fl : g_hitFlashes) freeFlashes += fl.framesLeft == 0;
    randBefore = g_randState;
    scoreBefore = g_score;
  };
  hooks.after = [&](int) {
    const int hits = SoundsNamed(L"hit");
    const int locs = SoundsNamed(L"loc");
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
    if (fault.empty()) {
      t.bursts += bursts;
      t.kills += kills;
      t.locks += locked;
    }
    return fault;
  };
  return support::RunStage(hooks);
}

TEST(RevisionStage, ScriptedPlayKeepsEveryInvariantAndReplaysIdentically) {
  Totals t;
  const support::StageRun first = CheckedRun(t);
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(first.hash, kStageHash);
  EXPECT_EQ(g_stageClock, 0.0f);
  EXPECT_GT(t.kills, 20);
  EXPECT_GT(t.bursts, 20);
  EXPECT_EQ(first.hitSounds, t.bursts);
  EXPECT_GT(t.locks, 0);
  EXPECT_EQ(first.straySoundCalls, 0);

  support::ExpectIdenticalReplay(first, ScriptKeys, MixState);
}

}  // namespace
