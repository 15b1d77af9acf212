// The 15-slot hit-flash table: three growing, fading circles at each struck
// enemy. Spawned by the frame function, stepped and drawn by the paint path
// after it, so the flashes lie over everything.
#pragma once

#include <cstdint>

#include "game/game.h"

constexpr int HIT_FLASH_COUNT = 15;

struct HitFlash {
  uint32_t framesLeft;  // 0 marks a free slot
  float x;
  float y;
  float targetX;
  float targetY;
  float dx;
  float dy;
  float size;
  float scale;
  float targetScale;
  float dScale;
  float alpha;
  float targetAlpha;
  float dAlpha;
  uint32_t color;  // 0x00RRGGBB
};

extern HitFlash g_hitFlashes[HIT_FLASH_COUNT];

// Index of the first slot with framesLeft 0, or -1.
int FindFreeHitFlashSlot(const HitFlash* table, int count);
// Drops the flash when every slot is live; never replaces one.
void SpawnHitFlash(float x, float y);
// Per-frame steps from the current and target values over framesLeft frames.
void StartHitFlash(HitFlash* flash);
void StepHitFlash(HitFlash* flash);
