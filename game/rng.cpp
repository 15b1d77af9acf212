#include "game/rng.h"

uint32_t g_randState = 1;

int GameRand() {
  g_randState = g_randState * 214013u + 2531011u;
  return static_cast<int>((g_randState >> 16) & 0x7FFFu);
}
