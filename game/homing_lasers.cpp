#include "game/homing_lasers.h"

#include "game/curl_laser.h"
#include "game/hit_flashes.h"

namespace {

constexpr float kArmLine = -160.0f;

// Runs between a segment's line and its leave test, on its moved position.
void AbsorbAtEnemy(CurlLaser& laser, int segment, void* context) {
  Enemy& e = g_enemies[*static_cast<const int*>(context)];
  const float ex = e.x;
  const float ey = e.y;
  if (!InHomingHitBox(laser.segX[segment], laser.segY[segment], ex, ey)) return;
  laser.segState[segment] = 0.0f;
  if (segment != LASER_KILL_SEGMENT) return;
  e.hit = 1.0f;
  SpawnHitFlash(ex, ey);
  // Freed at once: the laser's remaining live segments cruise on at the
  // (soon parked) enemy until they leave or are absorbed.
  laser.active = 0.0f;
  laser.head = CURL_ARMED;
}

}  // namespace

bool InHomingHitBox(float x, float y, float ex, float ey) {
  return x > (ex + 10.0f) - 30.0f && x < (ex + 50.0f) - 30.0f && y > ey - 10.0f && y < ey + 30.0f;
}

void UpdateHomingLasers(ID2D1RenderTarget* renderTarget, CurlLaser* lasers) {
  if (!(g_stageClock >= HOMING_LASER_START)) return;
  // A free enemy is parked above the arming line, so alive isn't consulted.
  for (int i = 0; i < ENEMY_COUNT; ++i) {
    if (g_enemies[i].y >= kArmLine) ArmCurlLaser(lasers[i], g_playerX, g_playerY);
  }
  CurlLaserParams p = {};
  p.sourceX = g_playerX;
  p.sourceY = g_playerY;
  p.curlSpeedX = 18.0f;
  p.curlSpeedY = 25.0f;
  p.cruiseSpeedX = 30.0f;
  p.cruiseSpeedY = 30.0f;
  p.box = CurlFieldBox{-800.0f, -100.0f, 1400.0f, 1168.0f};
  p.color = 0x00AA00;
  p.afterDraw = AbsorbAtEnemy;
  for (int i = 0; i < ENEMY_COUNT; ++i) {
    // Even lasers curl one way, odd ones the other.
    p.curlStep = CurlStep(i % 2 == 0 ? +1 : -1);
    p.targetX = g_enemies[i].x;
    p.targetY = g_enemies[i].y;
    p.context = &i;
    StepCurlLaser(renderTarget, lasers[i], p);
  }
}
