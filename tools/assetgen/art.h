// The two pictures the game loads, and where each piece sits in them. The
// rectangles are the ones the game draws from; everything outside them stays
// transparent.
#pragma once
#include <cairo.h>

#include "paint.h"

namespace vxa {

constexpr int kSheetW = 1600, kSheetH = 3600;
constexpr int kBackW = 1800, kBackH = 3072;
constexpr int kTile = 768;  // both background layers repeat every kTile rows

constexpr Rect kFighter{0, 0, 50, 100};
constexpr Rect kPod{110, 30, 160, 100};
constexpr Rect kSmallEnemy{50, 0, 110, 60};
constexpr Rect kPickup{110, 0, 140, 30};
constexpr Rect kShard{62, 84, 78, 100};
constexpr Rect kEmber{94, 84, 110, 100};
constexpr Rect kMarker{200, 0, 270, 70};
constexpr Rect kSight{1200, 0, 1600, 300};
constexpr Rect kLockFrame{1200, 300, 1600, 600};
constexpr Rect kGunships[3] = {{0, 100, 300, 400}, {300, 100, 600, 400}, {600, 100, 900, 400}};
constexpr Rect kCapitals[10] = {
    {0, 400, 400, 1200},   {400, 400, 800, 1200},   {800, 400, 1200, 1200},
    {0, 1200, 400, 2000},  {400, 1200, 800, 2000},  {800, 1200, 1200, 2000},
    {0, 2000, 400, 2800},  {400, 2000, 800, 2800},  {800, 2000, 1200, 2800},
    {0, 2800, 400, 3600}};

constexpr Rect kLayerA{0, 0, 600, 1536};
constexpr Rect kLayerB{0, 1536, 600, 3072};
constexpr Rect kTitle{600, 0, 1800, 768};

void DrawSmallSprites(cairo_t* cr);    // fighter, pod, small enemy, pickup, fragments
void DrawOverlays(cairo_t* cr);        // marker, sight, lock frame
void DrawGunships(cairo_t* cr);        // the three 300 x 300 enemies
void DrawCapitalShips(cairo_t* cr);    // the ten 400 x 800 enemies
void DrawLayerATile(cairo_t* cr);      // 600 x kTile, opaque
void DrawLayerBTile(cairo_t* cr);      // 600 x kTile, mostly clear
void DrawTitle(cairo_t* cr);           // 1200 x 768, shown squeezed to 600 x 768

}  // namespace vxa
