// The enemies' missiles and fan bullets: scenery that hurts nothing. Both
// steps read g_enemies as the previous frame left them and write only their
// own tables, which they scan in full every frame.
#pragma once

#include <d2d1.h>

// Each enemy present at y >= 100 keeps its one missile falling: a parked
// missile is launched again from the enemy's centre on the next frame.
void UpdateMissiles(ID2D1RenderTarget* renderTarget);
// The six down sets for every enemy, then the six up sets; an enemy in a
// set's band refills that set's free entries.
void UpdateFanBullets(ID2D1RenderTarget* renderTarget);
