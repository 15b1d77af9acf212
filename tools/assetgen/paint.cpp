#include "paint.h"

#include <algorithm>
#include <cmath>

namespace vxa {

uint32_t Rng::Next() {
  // xorshift32: small, fast and identical everywhere.
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

double Rng::Unit() { return (Next() >> 8) * (1.0 / 16777216.0); }
double Rng::Range(double lo, double hi) { return lo + (hi - lo) * Unit(); }

static double Chan(uint32_t rgb, int shift) { return ((rgb >> shift) & 0xFF) / 255.0; }

void SetHex(cairo_t* cr, uint32_t rgb, double alpha) {
  cairo_set_source_rgba(cr, Chan(rgb, 16), Chan(rgb, 8), Chan(rgb, 0), alpha);
}

void AddStop(cairo_pattern_t* p, double offset, uint32_t rgb, double alpha) {
  cairo_pattern_add_color_stop_rgba(p, offset, Chan(rgb, 16), Chan(rgb, 8), Chan(rgb, 0), alpha);
}

uint32_t Mix(uint32_t a, uint32_t b, double t) {
  uint32_t out = 0;
  for (int s = 0; s <= 16; s += 8) {
    double v = Chan(a, s) * (1.0 - t) + Chan(b, s) * t;
    out |= uint32_t(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)) << s;
  }
  return out;
}

uint32_t Scale(uint32_t rgb, double k) {
  uint32_t out = 0;
  for (int s = 0; s <= 16; s += 8)
    out |= uint32_t(std::lround(std::clamp(Chan(rgb, s) * k, 0.0, 1.0) * 255.0)) << s;
  return out;
}

void Glow(cairo_t* cr, double x, double y, double radius, uint32_t rgb, double alpha) {
  cairo_pattern_t* p = cairo_pattern_create_radial(x, y, 0, x, y, radius);
  AddStop(p, 0.0, rgb, alpha);
  AddStop(p, 0.35, rgb, alpha * 0.45);
  AddStop(p, 1.0, rgb, 0.0);
  cairo_set_source(cr, p);
  cairo_arc(cr, x, y, radius, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

void GlowEllipse(cairo_t* cr, double x, double y, double rx, double ry, uint32_t rgb,
                 double alpha) {
  if (rx <= 0 || ry <= 0) return;
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, rx, ry);
  Glow(cr, 0, 0, 1.0, rgb, alpha);
  cairo_restore(cr);
}

void MirrorPath(cairo_t* cr, double cx, const std::vector<double>& halfXY) {
  const size_t n = halfXY.size() / 2;
  if (n == 0) return;
  cairo_move_to(cr, cx + halfXY[0], halfXY[1]);
  for (size_t i = 1; i < n; ++i) cairo_line_to(cr, cx + halfXY[2 * i], halfXY[2 * i + 1]);
  for (size_t i = n; i-- > 0;) cairo_line_to(cr, cx - halfXY[2 * i], halfXY[2 * i + 1]);
  cairo_close_path(cr);
}

void EnterCell(cairo_t* cr, const Rect& r, int margin) {
  cairo_save(cr);
  cairo_rectangle(cr, r.left + margin, r.top + margin, (r.right - r.left) - 2 * margin,
                  (r.bottom - r.top) - 2 * margin);
  cairo_clip(cr);
  cairo_translate(cr, r.left, r.top);
}

void FillMetal(cairo_t* cr, double y0, double y1, uint32_t light, uint32_t dark,
               uint32_t edge, double edgeWidth) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
  AddStop(p, 0.0, dark);
  AddStop(p, 0.45, light);
  AddStop(p, 1.0, Scale(dark, 0.7));
  cairo_set_source(cr, p);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
  SetHex(cr, edge);
  cairo_set_line_width(cr, edgeWidth);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

}  // namespace vxa
