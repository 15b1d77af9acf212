// Enemy waves: which slot is filled, where and when, and how it moves, all
// as functions of the stage clock and the slot index.
#pragma once

#include <d2d1.h>

#include "game/burst.h"

void SpawnEnemy(int slot);
void MoveEnemy(int slot);

// The per-enemy loop: for each slot in turn its spawn, motion, sprite,
// bottom-edge park and burst, so a higher slot's sprite lies over a lower
// slot's burst.
void UpdateEnemySlots(ID2D1RenderTarget* renderTarget, BurstSound burstSound);
