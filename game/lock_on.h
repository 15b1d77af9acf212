// The fighter's aim: the lock-on marks for enemies in the box ahead of the
// fighter, and the sight. Both only draw (and "loc" sounds); neither changes
// any game state.
#pragma once

#include <d2d1.h>

// The first edition joins the fighter to each locked enemy with a line; the
// second revision brings the display back without it.
enum class LockOnLine { Drawn, Omitted };

// True when the enemy's centre lies in [px - 210, px + 200] x [py - 360, py + 50],
// bounds included; a NaN is never locked.
bool IsLockedOn(float ex, float ey, float px, float py);
// For each locked slot in ascending order: the lock frame, the marker, the
// line when asked for, and "loc" from its start.
void LockOnDisplay(ID2D1RenderTarget* renderTarget, LockOnLine line);
// Drawn in every frame, over the lock-on marks.
void DrawSight(ID2D1RenderTarget* renderTarget);
