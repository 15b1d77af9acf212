// The game's own generator, so every run on every platform draws the same
// sequence: never seeded, state starts at 1.
#pragma once

#include <cstdint>

extern uint32_t g_randState;

// 0..32767: bits 16 to 30 of state * 214013 + 2531011 (mod 2^32).
int GameRand();
