#include "game/curl_laser.h"

#include <cmath>

#include "app/shell.h"

namespace {

constexpr float kSegmentLive = 1.0f;
constexpr float kSegmentSpent = 2.0f;
constexpr uint32_t kLastSegment = LASER_SEGMENTS - 1;
constexpr uint32_t kCurlFrames = LASER_SEGMENTS;  // a segment curls while head runs j..j+20
constexpr int kLastLinedSegment = 18;              // segments 1..18 start a line; 0, 19, 20 none
constexpr float kRestartDrop = 30.0f;

// The aiming reference point is 11 right of and 3 below the segment; the
// angle comes back from double as float.
float Aim(const CurlLaserParams& p, float x, float y) {
  return static_cast<float>(std::atan2(static_cast<double>(p.targetY - (y + 3.0f)),
                                       static_cast<double>(p.targetX - (x + 11.0f))));
}

bool Outside(const CurlFieldBox& b, float x, float y) {
  return x > b.right || x < b.left || y > b.bottom || y < b.top;
}

void Move(CurlLaser& laser, int j, float speedX, float speedY) {
  const float h = laser.curl[j] + laser.aim[j];
  laser.segVX[j] = static_cast<float>(std::cos(static_cast<double>(h))) * speedX;
  laser.segVY[j] = static_cast<float>(std::sin(static_cast<double>(h))) * speedY;
  laser.segX[j] += laser.segVX[j];
  laser.segY[j] += laser.segVY[j];
}

void Advance(CurlLaser& laser, const CurlLaserParams& p) {
  if (laser.active != 1.0f) return;
  laser.head += 1;
  if (laser.head == 0) {
    laser.originX = p.sourceX;
    laser.originY = p.sourceY + kRestartDrop;
    // Every segment, live ones included, waits at the new point until emitted.
    for (int j = 0; j < LASER_SEGMENTS; ++j) {
      laser.segX[j] = laser.originX + 1.0f;
      laser.segY[j] = laser.originY + 1.0f;
    }
  }
  if (laser.head <= kLastSegment) {
    const int j = static_cast<int>(laser.head);
    laser.segX[j] = laser.originX + 1.0f;
    laser.segY[j] = laser.originY + 1.0f;
    laser.curl[j] = g_pi;
    laser.aim[j] = Aim(p, laser.segX[j], laser.segY[j]);
    laser.segState[j] = kSegmentLive;
  }
}

void StepSegment(ID2D1RenderTarget* renderTarget, CurlLaser& laser, const CurlLaserParams& p, int j) {
  const uint32_t uj = static_cast<uint32_t>(j);
  // Unsigned on purpose: an armed or reset head (all ones) is past every
  // segment, so its live segments cruise and none curls.
  if (laser.head >= uj && laser.head <= uj + (kCurlFrames - 1)) {
    laser.curl[j] += p.curlStep;
    laser.aim[j] = Aim(p, laser.segX[j], laser.segY[j]);
    Move(laser, j, p.curlSpeedX, p.curlSpeedY);
  }
  if (laser.head >= uj + kCurlFrames) {
    laser.aim[j] = Aim(p, laser.segX[j], laser.segY[j]);
    Move(laser, j, p.cruiseSpeedX, p.cruiseSpeedY);
  }
  // Segment j + 1 hasn't moved yet this frame: the line ends where it was.
  if (j >= 1 && j <= kLastLinedSegment) {
    DrawGlowLine(renderTarget, p.color, D2D1::Point2F(laser.segX[j], laser.segY[j]),
                 D2D1::Point2F(laser.segX[j + 1], laser.segY[j + 1]));
  }
  if (p.afterDraw) p.afterDraw(laser, j, p.context);
  if (!Outside(p.box, laser.segX[j], laser.segY[j])) return;
  laser.segState[j] = kSegmentSpent;
  laser.segX[j] = CURL_SPENT_X;
  laser.segY[j] = CURL_SPENT_Y;
  // A spent segment 20 lies outside, so once it has gone every later leaver
  // resets too; an emission point outside the box resets on the first leaver.
  if (Outside(p.box, laser.segX[kLastSegment], laser.segY[kLastSegment])) {
    laser.active = 0.0f;
    laser.head = CURL_ARMED;
    laser.originX = p.sourceX;
    laser.originY = p.sourceY;
    laser.segX[j] = laser.originX + 1.0f;
    laser.segY[j] = laser.originY + 1.0f;
  }
}

}  // namespace

float CurlStep(int sign) { return (static_cast<float>(sign) * g_pi) / 21.0f; }

void ArmCurlLaser(CurlLaser& laser, float sourceX, float sourceY) {
  if (laser.active != 0.0f) return;
  laser.head = CURL_ARMED;
  laser.active = 1.0f;
  laser.originX = sourceX;
  laser.originY = sourceY;
}

void StepCurlLaser(ID2D1RenderTarget* renderTarget, CurlLaser& laser, const CurlLaserParams& params) {
  Advance(laser, params);
  for (int j = 0; j < LASER_SEGMENTS; ++j) {
    if (laser.segState[j] == kSegmentLive) StepSegment(renderTarget, laser, params, j);
  }
}

// ---- the first edition's users ----

namespace {

constexpr int kFirstLaserEnemy = 3;     // slots 0..2 never fire one
constexpr int kFirstRightCurlEnemy = 9; // 3..8 curl one way, 9..47 the other
constexpr float kEnemyArmY = 200.0f;

CurlLaserParams PodLaserParams(int k) {
  CurlLaserParams p = {};
  p.sourceX = g_podX[k];
  p.sourceY = g_podY[k];
  p.targetX = 300.0f;
  p.targetY = -411.0f;
  p.curlStep = CurlStep(k % 2 == 0 ? +1 : -1);
  p.curlSpeedX = 14.0f;
  p.curlSpeedY = 20.0f;
  p.cruiseSpeedX = 30.0f;
  p.cruiseSpeedY = 30.0f;
  p.box = CurlFieldBox{-800.0f, -100.0f, 1400.0f, 1168.0f};
  p.color = 0x00AA00;
  return p;
}

CurlLaserParams EnemyLaserParams(int k) {
  CurlLaserParams p = {};
  p.sourceX = g_enemies[k].x;
  p.sourceY = g_enemies[k].y;
  p.targetX = 300.0f;
  p.targetY = 2000.0f;
  p.curlStep = CurlStep(k < kFirstRightCurlEnemy ? -1 : +1);
  p.curlSpeedX = 24.0f;
  p.curlSpeedY = 30.0f;
  p.cruiseSpeedX = 30.0f;
  p.cruiseSpeedY = 30.0f;
  p.box = CurlFieldBox{-100.0f, -100.0f, 700.0f, 868.0f};
  p.color = 0x000AFF;
  return p;
}

}  // namespace

void UpdatePodLasers(ID2D1RenderTarget* renderTarget, CurlLaser* podLasers) {
  for (int k = 0; k < POD_COUNT; ++k) ArmCurlLaser(podLasers[k], g_podX[k], g_podY[k]);
  for (int k = 0; k < POD_COUNT; ++k) StepCurlLaser(renderTarget, podLasers[k], PodLaserParams(k));
}

// The enemy's alive isn't consulted: a free slot lies at y -3550, which
// keeps its laser idle.
void UpdateEnemyLasers(ID2D1RenderTarget* renderTarget) {
  for (int k = kFirstLaserEnemy; k < ENEMY_COUNT; ++k) {
    if (g_enemies[k].y >= kEnemyArmY) ArmCurlLaser(g_enemyLasers[k], g_enemies[k].x, g_enemies[k].y);
  }
  for (int k = kFirstLaserEnemy; k < ENEMY_COUNT; ++k) {
    StepCurlLaser(renderTarget, g_enemyLasers[k], EnemyLaserParams(k));
  }
}
