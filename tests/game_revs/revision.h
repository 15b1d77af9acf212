// Which program a revision test runs in: vexalon-r2 (2018-11-01) or
// vexalon-r3 (2018-11-11), and what the two share.
#pragma once

#include "game/hit_flashes.h"

constexpr bool kShotsHit = VX_PROGRAM_REVISION == 2;     // r3's shots pass through
constexpr bool kLockOnShown = VX_PROGRAM_REVISION == 3;  // r2 has no lock-on display

constexpr uint32_t kHomingColor = 0x00AA00;

inline int LiveFlashes() {
  int n = 0;
  for (const HitFlash& f : g_hitFlashes) n += f.framesLeft != 0;
  return n;
}
