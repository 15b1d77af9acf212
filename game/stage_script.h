// The stage script: everything tied to the stage clock alone. Steps 1, 2 and
// 16 to 18 of every edition's frame.
#pragma once

#include <d2d1.h>

void FrameTick();
void ScrollAndDrawBackground(ID2D1RenderTarget* renderTarget);
void PlayMusicCues();
void DrawClosingTexts(ID2D1RenderTarget* renderTarget);
// Ending picture, clock advance, title picture, wrap: one step because the
// two picture tests sit on either side of the advance.
void DrawPictureAndAdvanceClock(ID2D1RenderTarget* renderTarget);
