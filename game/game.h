// What the shell needs of the game: each program links one edition, which
// supplies InitGameState and UpdateAndDrawFrame; the hit flashes are shared.
#pragma once

#include <d2d1.h>

void InitGameState();
void UpdateAndDrawFrame(ID2D1HwndRenderTarget* renderTarget);
void ClearHitFlashes();
void DrawHitFlashes(ID2D1RenderTarget* renderTarget, ID2D1SolidColorBrush* brush);
