// The revision of 2018-11-01: not built yet. The window stays black.
#include "game/game.h"
#include "game/tables.h"

CurlLaser g_homingLasers[ENEMY_COUNT];

void InitGameState() { InitGameTables(g_homingLasers, ENEMY_COUNT); }
void UpdateAndDrawFrame(ID2D1HwndRenderTarget*) {}
