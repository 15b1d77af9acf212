// The enemies' ring bullets and twin spiral streams: scenery that hurts
// nothing. Both steps read g_enemies as the previous frame left them and
// write only their own tables, which they scan in full every frame.
#pragma once

#include <d2d1.h>

// An enemy crossing 150 <= y <= 200 fills every free entry of its ring sets
// (A1..A3 for slots 0..8, A1..C3 for 9..47) in one frame.
void UpdateRingBullets(ID2D1RenderTarget* renderTarget);
// An enemy in 150 <= y <= 800 emits one bullet per stream per frame into the
// entry its counter names, taking that entry back if it is still in flight.
void UpdateSpiralBullets(ID2D1RenderTarget* renderTarget);
