// The tail of the per-enemy loop: an enemy's sprite, its removal at the
// bottom edge, and its kill burst of fragments and pickups with the score.
#pragma once

#include <d2d1.h>

// Whether a burst plays "hit" itself (the revisions, once per destroyed
// enemy) or leaves the sound to the shot that struck (the first edition).
enum class BurstSound { Silent, HitOnce };

void DrawEnemy(ID2D1RenderTarget* renderTarget, int slot);
void ParkEnemyAtBottom(int slot);
// Emits a struck enemy's whole burst, removes it and scores it, all in one
// frame; every frame moves, ages, draws and retires the slot's entries.
void BurstStep(ID2D1RenderTarget* renderTarget, int slot, BurstSound burstSound);
