// Small drawing vocabulary shared by the image generators, on top of cairo.
#pragma once
#include <cairo.h>
#include <cstdint>
#include <vector>

namespace vxa {

struct Rect { int left, top, right, bottom; };

// Deterministic generator for scattering stars, rivets and clouds; the art
// must come out identical on every run and every machine.
struct Rng {
  uint32_t state;
  explicit Rng(uint32_t seed) : state(seed ? seed : 1u) {}
  uint32_t Next();
  double Unit();                       // [0, 1)
  double Range(double lo, double hi);  // [lo, hi)
};

void SetHex(cairo_t* cr, uint32_t rgb, double alpha = 1.0);
void AddStop(cairo_pattern_t* p, double offset, uint32_t rgb, double alpha = 1.0);
uint32_t Mix(uint32_t a, uint32_t b, double t);
uint32_t Scale(uint32_t rgb, double k);  // brightness, clamped

// Soft round light: alpha falls from `alpha` at the centre to 0 at `radius`.
void Glow(cairo_t* cr, double x, double y, double radius, uint32_t rgb, double alpha);
// Same, squashed into an ellipse (engine plumes, cloud puffs).
void GlowEllipse(cairo_t* cr, double x, double y, double rx, double ry, uint32_t rgb,
                 double alpha);

// Closed shape mirrored about x = cx from its right half (points listed top
// to bottom, x measured from cx).
void MirrorPath(cairo_t* cr, double cx, const std::vector<double>& halfXY);

// Confines drawing to `r` shrunk by `margin` and moves the origin to the
// rectangle's top-left corner; pair with cairo_restore.
void EnterCell(cairo_t* cr, const Rect& r, int margin = 3);

// Fill the current path with a vertical metallic gradient and outline it.
void FillMetal(cairo_t* cr, double y0, double y1, uint32_t light, uint32_t dark,
               uint32_t edge, double edgeWidth);

}  // namespace vxa
