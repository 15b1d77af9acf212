// An empty game until the stage lands: the shell clears and presents.
#include "game/game.h"

void InitGameState() {}
void UpdateAndDrawFrame(ID2D1HwndRenderTarget*) {}
void ClearHitFlashes() {}
void DrawHitFlashes(ID2D1RenderTarget*, ID2D1SolidColorBrush*) {}
