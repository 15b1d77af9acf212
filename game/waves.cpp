#include "game/waves.h"

#include <cmath>

#include "game/tables.h"

namespace {

struct SpawnPoint {
  float x;
  float y;
};
const SpawnPoint kSmallEnemySpawns[SMALL_ENEMY_COUNT] = {
    {60.0f, -200.0f},  {120.0f, -100.0f}, {180.0f, -200.0f},  {240.0f, -600.0f}, {300.0f, -500.0f},
    {360.0f, -600.0f}, {420.0f, -1000.0f}, {480.0f, -900.0f}, {540.0f, -1000.0f},
};
// Members first, second, third of a group; groups 3 and later come from further up.
const SpawnPoint kGroupSpawnsEarly[3] = {{150.0f, -400.0f}, {450.0f, -400.0f}, {300.0f, -800.0f}};
const SpawnPoint kGroupSpawnsLate[3] = {{150.0f, -800.0f}, {450.0f, -800.0f}, {300.0f, -1800.0f}};

constexpr int kSpawnWindows = 13;

bool InSmallEnemyWindow(float c) {
  if (c >= 100.0f && c <= 500.0f) return true;
  for (int k = 1; k < kSpawnWindows; ++k) {
    const float from = 1000.0f * static_cast<float>(k);
    if (c >= from && c <= from + 500.0f) return true;
  }
  return false;
}

void PlaceEnemy(Enemy& e, const SpawnPoint& at) {
  e.x = at.x;
  e.y = at.y;
  e.hit = 0.0f;
  e.deathTimer = 0.0f;
  e.motionTimer = 0.0f;
  e.heading = 0.0f;
  e.alive = 1;
}

// One row of the motion script. Windows include both ends, and adjacent
// phases share their end clock, so at 2500, 7500 and 10500 an enemy steps twice.
struct MotionRow {
  float from;
  float to;
  int firstSlot;
  int lastSlot;
  bool turns;           // false: the dive, which neither times nor turns
  signed char turn[4];  // per quarter of the turning cycle: +1, -1
  bool movesX;
  float drift;
};
const MotionRow kMotionRows[] = {
    {1.0f, 2500.0f, 0, 47, true, {+1, +1, -1, -1}, true, 6.0f},       // drift
    {2500.0f, 7500.0f, 0, 8, true, {+1, +1, +1, +1}, true, 6.0f},     // weave
    {2500.0f, 7500.0f, 9, 47, true, {-1, -1, +1, +1}, true, 6.0f},    // weave
    {7500.0f, 10500.0f, 0, 8, true, {-1, -1, -1, -1}, true, 3.0f},    // sway
    {7500.0f, 10500.0f, 9, 47, true, {-1, -1, +1, +1}, false, 6.0f},  // sway
    {10500.0f, 14500.0f, 0, 47, false, {0, 0, 0, 0}, false, 6.0f},    // dive
};

constexpr float kTurnStep = 0.0006f;
constexpr float kSpeed = 6.0f;

void StepMotion(Enemy& e, const MotionRow& row) {
  if (!row.turns) {
    e.y += row.drift;
    return;
  }
  e.motionTimer += 1.0f;
  const float t = e.motionTimer;
  int quarter = -1;
  if (t >= 1.0f && t <= 300.0f) quarter = 0;
  else if (t >= 301.0f && t <= 600.0f) quarter = 1;
  else if (t >= 601.0f && t <= 900.0f) quarter = 2;
  else if (t >= 901.0f && t <= 1200.0f) quarter = 3;
  if (quarter >= 0) {
    if (row.turn[quarter] > 0) e.heading += kTurnStep;
    else e.heading -= kTurnStep;
  }
  if (t >= 1201.0f) e.motionTimer = 0.0f;
  // Scaled as if converting to degrees and then handed to cos/sin as radians:
  // that is what makes the enemies fly loops.
  const float a = e.heading * 180.0f / g_pi;
  const float ca = static_cast<float>(std::cos(static_cast<double>(a)));
  const float sa = static_cast<float>(std::sin(static_cast<double>(a)));
  if (row.movesX) e.x += ca * kSpeed;
  e.y += sa * kSpeed + row.drift;
}

}  // namespace

void SpawnEnemy(int slot) {
  Enemy& e = g_enemies[slot];
  const float c = g_stageClock;
  if (InSmallEnemyWindow(c) && slot < SMALL_ENEMY_COUNT && e.alive == 0) {
    PlaceEnemy(e, kSmallEnemySpawns[slot]);
  }
  for (int g = 0; g < GROUP_COUNT; ++g) {
    const float from = 500.0f + 1000.0f * static_cast<float>(g);
    const int first = SMALL_ENEMY_COUNT + 3 * g;
    if (c >= from && c <= from + 550.0f && slot >= first && slot <= first + 2 && e.alive == 0) {
      PlaceEnemy(e, (g < 3 ? kGroupSpawnsEarly : kGroupSpawnsLate)[slot - first]);
    }
  }
}

void MoveEnemy(int slot) {
  Enemy& e = g_enemies[slot];
  if (e.alive != 1) return;
  const float c = g_stageClock;
  for (const MotionRow& row : kMotionRows) {
    if (c >= row.from && c <= row.to && slot >= row.firstSlot && slot <= row.lastSlot) StepMotion(e, row);
  }
}

void UpdateEnemySlots(ID2D1RenderTarget* renderTarget, BurstSound burstSound) {
  for (int k = 0; k < ENEMY_COUNT; ++k) {
    SpawnEnemy(k);
    MoveEnemy(k);
    DrawEnemy(renderTarget, k);
    ParkEnemyAtBottom(k);
    BurstStep(renderTarget, k, burstSound);
  }
}
