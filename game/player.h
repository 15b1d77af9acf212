// The player's side of the frame: the fighter, its four pods and the five
// guns' shots, which every edition runs right after the background.
#pragma once

#include <d2d1.h>

// What a shot does to an enemy it comes within 30 pixels of.
enum class ShotHitRule {
  HitWithSound,  // first edition: "hit" at every contact
  HitSilently,   // first revision: the burst plays the sound instead
  PassThrough,   // second revision: shots touch nothing
};

void MoveFighter();
void FireVolley();
void UpdateShots(ID2D1RenderTarget* renderTarget, ShotHitRule hitRule);
void UpdatePodsAndDrawFighter(ID2D1RenderTarget* renderTarget);
