// Whole runs of the stage: determinism, invariants in every frame, and no
// heap allocation inside a frame.
#include <gtest/gtest.h>

#include "app/shell.h"
#include "game/curl_laser.h"
#include "game/game.h"
#include "game/hit_flashes.h"
#include "game/rng.h"
#include "game/stage_script.h"
#include "game/tables.h"
#include "alloc_counter.h"
#include "game_fixture.h"
#include "stage_run.h"

extern CurlLaser g_podLasers[POD_COUNT];

namespace {

using support::kStageFrames;

// The whole game state of every seventh frame of one scripted stage, its
// drawing and its sounds. Any change to the game's arithmetic, drawing order
// or sound cues changes it.
constexpr uint64_t kStageHash = 0x56435261fc787870ull;

// Sweeps the fighter across its box and taps Space every six frames.
void ScriptKeys(int frame) {
  HoldKey(VK_LEFT, (frame / 90) % 2 == 0);
  HoldKey(VK_RIGHT, (frame / 90) % 2 == 1);
  HoldKey(VK_UP, (frame / 200) % 3 == 0);
  HoldKey(VK_DOWN, (frame / 200) % 3 == 1);
  if (frame % 6 == 0) HoldKey(VK_SPACE, true);
  if (frame % 6 == 3) HoldKey(VK_SPACE, false);
}

void MixState(support::Hash& h) {
  h.Add(g_shots);
  h.Add(g_enemies);
  h.Add(g_debris);
  h.Add(g_hitFlashes);
  h.Add(g_playerX);
  h.Add(g_playerY);
  h.Add(g_podX);
  h.Add(g_podY);
  h.Add(g_stageClock);
  h.Add(g_frameTicks);
  h.Add(g_scrollA);
  h.Add(g_scrollB);
  h.Add(g_score);
  h.Add(g_hitCount);
  h.Add(g_randState);
  h.Add(g_missiles);
  h.Add(g_fanBullets);
  h.Add(g_ringBullets);
  h.Add(g_spiralBullets);
  h.Add(g_spiralCounters);
  h.Add(g_enemyLasers);
  h.Add(g_podLasers);
}

// Generator draws between two states, up to a bound.
long DrawsBetween(uint32_t from, uint32_t to, long bound) {
  for (long n = 0; n <= bound; ++n) {
    if (from == to) return n;
    from = from * 214013u + 2531011u;
  }
  return -1;
}

// A bullet entry is free exactly when parked, and a live one is still where
// its park test would keep it.
template <class Inside>
std::string CheckEntry(float x, float y, float active, Inside inside) {
  if (active != 0.0f && active != 1.0f) return "active neither 0 nor 1";
  const bool parked = x == PARK_X && y == PARK_Y;
  if (parked != (active == 0.0f)) return "parked but live, or free but placed";
  if (active == 1.0f && !inside(x, y)) return "live past its park bound";
  return "";
}

bool InRingField(float x, float y) { return x > -400.0f && x < 1000.0f && y > -400.0f && y < 1168.0f; }

// Live segments are inside their box; a firing laser has begun its burst.
// (A spent segment lies at the spent point, or where a Reset put it: at the
// source of that moment, which an idle laser's later Reset may have moved on.)
std::string CheckLaser(const CurlLaser& l, const CurlFieldBox& box) {
  if (l.active != 0.0f && l.active != 1.0f) return "laser active";
  if (l.active == 1.0f && l.head == CURL_ARMED) return "firing laser whose burst hasn't begun";
  if (l.active == 0.0f && l.head != CURL_ARMED && l.head != 0u) return "idle laser with a head";
  for (int j = 0; j < LASER_SEGMENTS; ++j) {
    const float x = l.segX[j], y = l.segY[j], state = l.segState[j];
    if (state == 1.0f) {
      if (!(x >= box.left && x <= box.right && y >= box.top && y <= box.bottom)) return "live segment outside";
    } else if (state != 0.0f && state != 2.0f) {
      return "segment state";
    }
  }
  return "";
}

std::string CheckEnemyFire() {
  for (int i = 0; i < ENEMY_COUNT; ++i) {
    const std::string slot = " slot " + std::to_string(i);
    std::string f = CheckEntry(g_missiles.x[i], g_missiles.y[i], g_missiles.active[i],
                               [](float, float y) { return y < 1168.0f; });
    if (!f.empty()) return "missile: " + f + slot;
    for (int s = 0; s < FAN_SET_COUNT; ++s) {
      for (int n = 0; n < FAN_BULLETS; ++n) {
        const auto& set = g_fanBullets[s];
        f = s < 6 ? CheckEntry(set.x[i][n], set.y[i][n], set.active[i][n], [](float, float y) { return y < 1168.0f; })
                  : CheckEntry(set.x[i][n], set.y[i][n], set.active[i][n], [](float, float y) { return y > -400.0f; });
        if (!f.empty()) return "fan: " + f + slot;
      }
    }
    for (int j = 0; j < RING_BULLETS; ++j) {
      for (int s = 0; s < RING_SET_COUNT; ++s) {
        const auto& set = g_ringBullets[s];
        f = CheckEntry(set.x[i][j], set.y[i][j], set.active[i][j], InRingField);
        if (!f.empty()) return "ring: " + f + slot;
        if (s >= 3 && i < SMALL_ENEMY_COUNT && set.active[i][j] != 0.0f) return "small enemy's side ring" + slot;
      }
      for (const auto& stream : g_spiralBullets) {
        f = CheckEntry(stream.x[i][j], stream.y[i][j], stream.active[i][j], InRingField);
        if (!f.empty()) return "spiral: " + f + slot;
        if (j == 0 && stream.active[i][j] != 0.0f) return "spiral entry 0 live" + slot;
      }
    }
    if (g_spiralCounters[i] < 0 || g_spiralCounters[i] > 34) return "spiral counter" + slot;
    const CurlLaser& l = g_enemyLasers[i];
    if (i < 3) {
      if (l.active != 0.0f || l.head != 0u || l.originX != PARK_X) return "laser of slots 0..2 touched" + slot;
      for (int j = 0; j < LASER_SEGMENTS; ++j) {
        if (l.segX[j] != PARK_X || l.segY[j] != PARK_Y || l.segState[j] != 0.0f) return "laser of slots 0..2 moved";
      }
    } else {
      f = CheckLaser(l, CurlFieldBox{-100.0f, -100.0f, 700.0f, 868.0f});
      if (!f.empty()) return "enemy laser: " + f + slot;
    }
  }
  for (int k = 0; k < POD_COUNT; ++k) {
    const std::string f = CheckLaser(g_podLasers[k], CurlFieldBox{-800.0f, -100.0f, 1400.0f, 1168.0f});
    if (!f.empty()) return "pod laser " + std::to_string(k) + ": " + f;
  }
  return "";
}

// Everything that must hold between any two frames. Returns the first fault.
std::string CheckInvariants() {
  if (!(g_stageClock >= 0.0f && g_stageClock < STAGE_LENGTH)) return "clock out of range";
  if (!(g_scrollA >= 0.0f && g_scrollA < 768.0f && g_scrollB >= 0.0f && g_scrollB < 768.0f)) return "scroll";
  if (!(g_playerX >= 24.0f && g_playerX <= 576.0f && g_playerY >= 400.0f && g_playerY <= 696.0f)) return "fighter";
  for (int k = 0; k < ENEMY_COUNT; ++k) {
    const Enemy& e = g_enemies[k];
    if (e.alive != 0 && e.alive != 1) return "enemy alive " + std::to_string(k);
    const bool parked = e.x == PARK_X && e.y == PARK_Y;
    if (parked != (e.alive == 0)) return "enemy parked but present, or free but placed: " + std::to_string(k);
    if (e.alive == 0 && (e.hit != 0.0f || e.deathTimer != 0.0f)) return "free enemy keeps a hit";
    if (!(e.motionTimer >= 0.0f && e.motionTimer <= 1200.0f)) return "motion timer";
    if (e.alive == 1 && !(e.y < 1168.0f)) return "enemy past the bottom";
    for (int n = 0; n < DEBRIS_PER_ENEMY; ++n) {
      const float x = g_debris.x[k][n], y = g_debris.y[k][n];
      const float active = g_debris.active[k][n];
      if (active != 0.0f && active != 1.0f) return "debris active";
      if (x == PARK_X && y == PARK_Y) {
        if (active != 0.0f || g_debris.vx[k][n] != 0.0f || g_debris.vy[k][n] != 0.0f || g_debris.age[k][n] != 0.0f)
          return "parked debris not free";
      } else if (x <= -100.0f || x >= 700.0f || y <= -100.0f || y >= 868.0f) {
        return "debris left outside the field";
      }
      if (n < FIRST_PICKUP && !(g_debris.age[k][n] >= 0.0f && g_debris.age[k][n] <= 100.0f)) return "fragment age";
    }
  }
  for (const auto& table : g_shots) {
    for (const Shot& s : table) {
      if (s.alive > 1) return "shot alive above 1";
      if (s.alive == 1 && s.y < -32.0f) return "shot above the top still live";
    }
  }
  for (const HitFlash& f : g_hitFlashes) {
    if (f.framesLeft > 6) return "flash frames";
  }
  return CheckEnemyFire();
}

// One bit per kind of enemy fire that is in flight: rings, spirals,
// missiles, down fans, up fans, enemy lasers.
int FireInFlight() {
  int bits = 0;
  for (int i = 0; i < ENEMY_COUNT; ++i) {
    for (int j = 0; j < RING_BULLETS; ++j) {
      for (const auto& set : g_ringBullets) bits |= set.active[i][j] == 1.0f ? 1 : 0;
      for (const auto& stream : g_spiralBullets) bits |= stream.active[i][j] == 1.0f ? 2 : 0;
    }
    bits |= g_missiles.active[i] == 1.0f ? 4 : 0;
    for (int n = 0; n < FAN_BULLETS; ++n) {
      for (int s = 0; s < FAN_SET_COUNT; ++s) bits |= g_fanBullets[s].active[i][n] == 1.0f ? (s < 6 ? 8 : 16) : 0;
    }
    bits |= g_enemyLasers[i].active == 1.0f ? 32 : 0;
  }
  return bits;
}

struct Checked {
  long bursts = 0;
  int fireSeen = 0;
  int musicCues = 0;
};

// A pass that checks every frame: invariants, and that each burst scores and
// draws from the generator exactly once.
support::StageRun CheckedRun(Checked& out) {
  int aliveBefore[ENEMY_COUNT];
  float yBefore[ENEMY_COUNT];
  float scoreBefore = 0.0f;
  uint32_t randBefore = 0;
  support::StageHooks hooks;
  hooks.keys = ScriptKeys;
  hooks.mixState = MixState;
  hooks.before = [&](int) {
    for (int k = 0; k < ENEMY_COUNT; ++k) {
      aliveBefore[k] = g_enemies[k].alive;
      yBefore[k] = g_enemies[k].y;
    }
    scoreBefore = g_score;
    randBefore = g_randState;
  };
  hooks.after = [&](int) -> std::string {
    out.musicCues += SoundsNamed(L"bgm001") + SoundsNamed(L"bgm002") + SoundsNamed(L"bgm003");
    const std::string fault = CheckInvariants();
    if (!fault.empty()) return fault;
    // A present enemy that is gone after the frame either burst or fell past
    // the bottom; no shot reaches below y 1100, so those above it burst.
    float expectedScore = scoreBefore;
    long bursts = 0;
    for (int k = 0; k < ENEMY_COUNT; ++k) {
      if (aliveBefore[k] == 1 && g_enemies[k].alive == 0 && yBefore[k] < 1100.0f) {
        expectedScore = (expectedScore + 25.0f) + static_cast<float>(k);
        ++bursts;
      }
    }
    if (g_score != expectedScore || DrawsBetween(randBefore, g_randState, 48 * 821) != 821 * bursts) {
      return "score " + std::to_string(g_score) + " expected " + std::to_string(expectedScore) + " after " +
             std::to_string(bursts) + " bursts";
    }
    out.bursts += bursts;
    out.fireSeen |= FireInFlight();
    return "";
  };
  return support::RunStage(hooks);
}

TEST(FullStage, ScriptedPlayKeepsEveryInvariantAndReplaysIdentically) {
  Checked checked;
  const support::StageRun first = CheckedRun(checked);
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(first.hash, kStageHash);
  EXPECT_EQ(g_stageClock, 0.0f);
  EXPECT_EQ(g_frameTicks, static_cast<uint32_t>(kStageFrames));
  EXPECT_GT(checked.bursts, 20);
  EXPECT_GE(first.hitSounds, checked.bursts);
  EXPECT_EQ(static_cast<uint32_t>(first.hitSounds), g_hitCount);
  EXPECT_EQ(checked.musicCues, 6);
  EXPECT_EQ(first.straySoundCalls, 0);
  EXPECT_EQ(checked.fireSeen, 63) << "every kind of enemy fire flies at some point of the stage";

  support::ExpectIdenticalReplay(first, ScriptKeys, MixState);
}

// Each music cue is a play from the start by name, inside the frame.
TEST(FullStage, AMusicCueAllocatesNothing) {
  for (float clock : {10.0f, 2500.0f, 5000.0f}) {
    ResetWholeGame();
    g_stageClock = clock;
    const uint64_t before = support::AllocationsSoFar();
    PlayMusicCues();
    const uint64_t made = support::AllocationsSoFar() - before;
    EXPECT_EQ(Sounds().count, 1) << "clock " << clock;
    EXPECT_EQ(made, 0u) << "clock " << clock;
  }
}

}  // namespace
