#include "game/tables.h"

#include "game/hit_flashes.h"

Shot g_shots[GUN_COUNT][SHOTS_PER_GUN];
Enemy g_enemies[ENEMY_COUNT];
MissilePlanes g_missiles;
BulletPlanes<FAN_BULLETS> g_fanBullets[FAN_SET_COUNT];
BulletPlanes<RING_BULLETS> g_ringBullets[RING_SET_COUNT];
BulletPlanes<SPIRAL_BULLETS> g_spiralBullets[SPIRAL_STREAMS];
int g_spiralCounters[ENEMY_COUNT];
CurlLaser g_enemyLasers[ENEMY_COUNT];
DebrisPlanes g_debris;

float g_playerX;
float g_playerY;
float g_podX[POD_COUNT];
float g_podY[POD_COUNT];
float g_stageClock;
uint32_t g_frameTicks;
float g_scrollA;
float g_scrollB;
float g_score;
uint32_t g_hitCount;
extern const float g_pi = 3.14f;

namespace {

void ClearShotTable(Shot* table) {
  for (int i = 0; i < SHOTS_PER_GUN; ++i) {
    table[i].alive = 0;
    table[i].x = 0.0f;
    table[i].y = 0.0f;
  }
}

void ParkLaser(CurlLaser& laser) {
  for (int j = 0; j < LASER_SEGMENTS; ++j) {
    laser.segX[j] = PARK_X;
    laser.segY[j] = PARK_Y;
    laser.segState[j] = 0.0f;
    laser.curl[j] = 0.0f;
    laser.aim[j] = 0.0f;
    laser.segVX[j] = 0.0f;
    laser.segVY[j] = 0.0f;
  }
  laser.active = 0.0f;
  laser.head = 0;
  laser.originX = PARK_X;
  laser.originY = PARK_Y;
}

}  // namespace

void ParkMissile(int slot) {
  g_missiles.x[slot] = PARK_X;
  g_missiles.y[slot] = PARK_Y;
  g_missiles.active[slot] = 0.0f;
}

void ParkDebris(int slot, int n) {
  g_debris.x[slot][n] = PARK_X;
  g_debris.y[slot][n] = PARK_Y;
  g_debris.vx[slot][n] = 0.0f;
  g_debris.vy[slot][n] = 0.0f;
  g_debris.active[slot][n] = 0.0f;
  g_debris.age[slot][n] = 0.0f;
}

void InitGameTables(CurlLaser* playerLasers, int playerLaserCount) {
  g_playerX = 300.0f;
  g_playerY = 720.0f - 2.0f * 100.0f;
  ClearShotTable(g_shots[0]);
  const float podOffsetX[POD_COUNT] = {-50.0f, 50.0f, -100.0f, 100.0f};
  const float podOffsetY[POD_COUNT] = {50.0f, 50.0f, 100.0f, 100.0f};
  for (int p = 0; p < POD_COUNT; ++p) {
    g_podX[p] = g_playerX + podOffsetX[p];
    g_podY[p] = g_playerY + podOffsetY[p];
    ClearShotTable(g_shots[p + 1]);
  }
  g_hitCount = 0;
  ClearHitFlashes();

  for (int i = 0; i < ENEMY_COUNT; ++i) {
    Enemy& e = g_enemies[i];
    e.x = PARK_X;
    e.y = PARK_Y;
    e.alive = 0;
    e.hit = 0.0f;
    e.deathTimer = 0.0f;
    ParkMissile(i);
  }
  for (int i = 0; i < ENEMY_COUNT; ++i) {
    for (int n = 0; n < FAN_BULLETS; ++n) {
      for (int s = 0; s < FAN_SET_COUNT; ++s) ParkBullet(g_fanBullets[s], i, n);
    }
  }
  for (int i = 0; i < ENEMY_COUNT; ++i) {
    for (int j = 0; j < RING_BULLETS; ++j) {
      for (int s = 0; s < RING_SET_COUNT; ++s) ParkBullet(g_ringBullets[s], i, j);
      for (int s = 0; s < SPIRAL_STREAMS; ++s) ParkBullet(g_spiralBullets[s], i, j);
    }
    g_spiralCounters[i] = 0;
  }
  for (int i = 0; i < ENEMY_COUNT; ++i) ParkLaser(g_enemyLasers[i]);
  for (int i = 0; i < playerLaserCount; ++i) ParkLaser(playerLasers[i]);
  for (int i = 0; i < ENEMY_COUNT; ++i) {
    for (int n = 0; n < DEBRIS_PER_ENEMY; ++n) ParkDebris(i, n);
  }
  g_stageClock = 0.0f;
}
