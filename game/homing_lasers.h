// The revisions' player weapon: 48 homing lasers fired from the fighter,
// laser i bound to enemy slot i. Each is the curling laser steered at its
// enemy's current position; the enemy is destroyed when segment 18 of its
// laser reaches it, and the other segments are absorbed there harmlessly.
#pragma once

#include <d2d1.h>

#include "game/tables.h"

constexpr float HOMING_LASER_START = 60.0f;  // stage clock from which the lasers run
constexpr int LASER_KILL_SEGMENT = 18;

// The player laser table of both revisions, defined by each revision's frame.
extern CurlLaser g_homingLasers[ENEMY_COUNT];

// True when (x, y) lies strictly inside the hit box about the enemy's centre:
// (ex - 20, ex + 20) x (ey - 10, ey + 30).
bool InHomingHitBox(float x, float y, float ex, float ey);

// One frame of all 48, after the per-enemy loop: nothing at all while the
// stage clock is below 60. A kill sets the enemy's hit and raises its hit
// flash at once; the burst follows in the next frame's per-enemy loop.
void UpdateHomingLasers(ID2D1RenderTarget* renderTarget, CurlLaser* lasers);
