// The curling laser: 21 segments that leave an emission point one per frame,
// turn through half a turn while steering at a target, then fly straight at
// it; the chain is drawn as glow lines between neighbouring segments, and the
// laser fires again once its last segment has left the field box.
//
// Every user runs one frame as two passes over its lasers, each in index
// order: first ArmCurlLaser for every laser whose own condition holds, then
// StepCurlLaser for every laser (idle ones too: their live segments still
// fly). The record CurlLaserParams carries everything that differs between
// users; it is read, never kept.
#pragma once

#include <d2d1.h>

#include <cstdint>

#include "game/tables.h"

// Where a segment goes once it has left the field box (not PARK_X).
constexpr float CURL_SPENT_X = -1550.0f;
constexpr float CURL_SPENT_Y = -3550.0f;
constexpr uint32_t CURL_ARMED = 0xFFFFFFFFu;  // head before the burst's first frame

// A segment is outside when x > right, x < left, y > bottom or y < top; the
// edges themselves are inside, and so is a NaN.
struct CurlFieldBox {
  float left;
  float top;
  float right;
  float bottom;
};

struct CurlLaserParams {
  // This frame's source: a Restart emits from (sourceX, sourceY + 30); a
  // Reset leaves the origin at (sourceX, sourceY).
  float sourceX;
  float sourceY;
  float targetX;  // the aim point of every segment this frame
  float targetY;
  float curlStep;  // signed, added once per curling frame: CurlStep(+1) or CurlStep(-1)
  float curlSpeedX;
  float curlSpeedY;
  float cruiseSpeedX;
  float cruiseSpeedY;
  CurlFieldBox box;
  uint32_t color;  // 0xRRGGBB of the glow lines
  // Optional, may be null: runs for each live segment after its line is
  // drawn and before its Leave test, with the segment's new position. It may
  // change the laser (absorb the segment, free the laser); the Leave test
  // then runs on the segment all the same.
  void (*afterDraw)(CurlLaser& laser, int segment, void* context);
  void* context;
};

// (sign × g_pi) / 21 in float, sign +1 or -1.
float CurlStep(int sign);

// Arms an idle laser (active 0.0): head all ones, active 1.0, origin at the
// source. Does nothing to a laser that is already firing. The user checks
// its own arming condition first.
void ArmCurlLaser(CurlLaser& laser, float sourceX, float sourceY);

// One frame of one laser: Advance (restart and emission while active), then
// the Segment pass over all 21 segments: curl or cruise, draw, afterDraw,
// leave, and the Reset once segment 20 is outside the box. Allocates nothing.
void StepCurlLaser(ID2D1RenderTarget* renderTarget, CurlLaser& laser, const CurlLaserParams& params);

// The first edition's two users, one frame step each. The pod lasers fire
// without pause from pods 1..4 towards a point above the window; the enemy
// lasers fire from enemy slots 3..47 while the enemy is at y 200 or more.
void UpdatePodLasers(ID2D1RenderTarget* renderTarget, CurlLaser* podLasers);
void UpdateEnemyLasers(ID2D1RenderTarget* renderTarget);
