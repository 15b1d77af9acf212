// The stage script: everything tied to the stage clock alone. The frame
// opens with its tick and the scrolling background, and closes with the
// music cues, the closing texts and the pictures around the clock's advance.
#pragma once

#include <d2d1.h>

void FrameTick();
void ScrollAndDrawBackground(ID2D1RenderTarget* renderTarget);
void PlayMusicCues();
void DrawClosingTexts(ID2D1RenderTarget* renderTarget);
// Ending picture, clock advance, title picture, wrap: one step because the
// two picture tests sit on either side of the advance.
void DrawPictureAndAdvanceClock(ID2D1RenderTarget* renderTarget);
