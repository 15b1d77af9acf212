// The two scrolling layers. Each is one 600 x 768 tile whose every element is
// drawn three times, a tile above and below as well, so whatever crosses the
// tile's top edge comes back in at the bottom and the copies join exactly.
#include <cmath>
#include <functional>

#include "art.h"

namespace vxa {
namespace {

constexpr double kW = 600;

void Wrapped(const std::function<void(double)>& draw) {
  for (double dy : {-double(kTile), 0.0, double(kTile)}) draw(dy);
}

void Star(cairo_t* cr, double x, double y, double r, uint32_t rgb, double alpha) {
  Glow(cr, x, y, r * 3.0, rgb, alpha * 0.35);
  cairo_arc(cr, x, y, r, 0, 2 * M_PI);
  SetHex(cr, Mix(rgb, 0xFFFFFF, 0.6), alpha);
  cairo_fill(cr);
}

void Sparkle(cairo_t* cr, double x, double y, double len, uint32_t rgb) {
  Glow(cr, x, y, len * 0.6, rgb, 0.5);
  for (int k = 0; k < 2; ++k) {
    cairo_pattern_t* p = k == 0 ? cairo_pattern_create_linear(x - len, y, x + len, y)
                                : cairo_pattern_create_linear(x, y - len, x, y + len);
    AddStop(p, 0.0, rgb, 0.0);
    AddStop(p, 0.5, 0xFFFFFF, 0.9);
    AddStop(p, 1.0, rgb, 0.0);
    cairo_set_source(cr, p);
    if (k == 0)
      cairo_rectangle(cr, x - len, y - 0.6, 2 * len, 1.2);
    else
      cairo_rectangle(cr, x - 0.6, y - len, 1.2, 2 * len);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
  }
  cairo_arc(cr, x, y, 1.6, 0, 2 * M_PI);
  SetHex(cr, 0xFFFFFF);
  cairo_fill(cr);
}

// A rough rock: a jittered polygon lit from the upper left.
void Rock(cairo_t* cr, Rng& rng, double x, double y, double r) {
  const int n = 9;
  double pts[n][2];
  for (int i = 0; i < n; ++i) {
    const double a = i * 2 * M_PI / n, rr = r * rng.Range(0.7, 1.1);
    pts[i][0] = x + std::cos(a) * rr;
    pts[i][1] = y + std::sin(a) * rr * 0.85;
  }
  for (double dy : {-double(kTile), 0.0, double(kTile)}) {
    cairo_move_to(cr, pts[0][0], pts[0][1] + dy);
    for (int i = 1; i < n; ++i) cairo_line_to(cr, pts[i][0], pts[i][1] + dy);
    cairo_close_path(cr);
    cairo_pattern_t* p = cairo_pattern_create_radial(x - r * 0.4, y - r * 0.4 + dy, r * 0.1, x, y + dy, r * 1.2);
    AddStop(p, 0.0, 0x8A8290);
    AddStop(p, 0.6, 0x3A3440);
    AddStop(p, 1.0, 0x141018);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    SetHex(cr, 0xFFA060, 0.35);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
  }
}

// A girder running the full tile height; its bracing repeats every 48 rows,
// which divides the tile, so it continues seamlessly.
void Girder(cairo_t* cr, double x, double width, double alpha) {
  const uint32_t metal = 0x56607A;
  cairo_rectangle(cr, x, 0, 3, kTile);
  cairo_rectangle(cr, x + width - 3, 0, 3, kTile);
  SetHex(cr, metal, alpha);
  cairo_fill(cr);
  for (double y = 0; y < kTile; y += 48) {
    cairo_move_to(cr, x + 1.5, y);
    cairo_line_to(cr, x + width - 1.5, y + 24);
    cairo_line_to(cr, x + 1.5, y + 48);
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + width, y);
  }
  SetHex(cr, metal, alpha * 0.8);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  for (double y = 12; y < kTile; y += 96) {
    Glow(cr, x + 1.5, y, 6, 0xFF5040, 0.9 * alpha);
    Glow(cr, x + width - 1.5, y + 48, 5, 0x60D0FF, 0.8 * alpha);
  }
}

void Cloud(cairo_t* cr, Rng& rng, double x, double y, double spread, double size, double alpha,
           uint32_t rgb) {
  for (int i = 0; i < 26; ++i) {
    const double px = x + rng.Range(-spread, spread), py = y + rng.Range(-spread * 1.6, spread * 1.6);
    const double rx = size * rng.Range(0.6, 1.3), ry = rx * rng.Range(0.5, 0.9);
    const double a = alpha * rng.Range(0.5, 1.0);
    const uint32_t c = Mix(rgb, 0xFFFFFF, rng.Range(0.0, 0.5));
    Wrapped([&](double dy) { GlowEllipse(cr, px, py + dy, rx, ry, c, a); });
  }
}

}  // namespace

void DrawLayerATile(cairo_t* cr) {
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, kW, kTile);
  cairo_clip(cr);
  // Horizontal falloff only, so the base needs no care at the tile seam.
  cairo_pattern_t* base = cairo_pattern_create_linear(0, 0, kW, 0);
  AddStop(base, 0.0, 0x04061A);
  AddStop(base, 0.5, 0x0A0E2A);
  AddStop(base, 1.0, 0x05071C);
  cairo_set_source(cr, base);
  cairo_paint(cr);
  cairo_pattern_destroy(base);

  Rng rng(0xA11CE);
  // Nebula: big faint clouds of a few hues, then a brighter core ribbon.
  const uint32_t hues[] = {0x4A1E8A, 0x0E5A8A, 0x8A1E6A, 0x1E3A9A};
  for (int i = 0; i < 22; ++i) {
    const double x = rng.Range(-60, kW + 60), y = rng.Range(0, kTile);
    const double r = rng.Range(120, 300), a = rng.Range(0.10, 0.22);
    const uint32_t c = hues[i % 4];
    Wrapped([&](double dy) { GlowEllipse(cr, x, y + dy, r, r * 0.7, c, a); });
  }
  for (int i = 0; i < 30; ++i) {
    // A diagonal river of brighter dust; it wraps vertically like the rest.
    const double t = i / 30.0;
    const double x = 80 + 440 * t + rng.Range(-50, 50), y = t * kTile + rng.Range(-40, 40);
    const double r = rng.Range(40, 90);
    const uint32_t c = (i % 3 == 0) ? 0xC050D0 : 0x5090E0;
    Wrapped([&](double dy) { GlowEllipse(cr, x, y + dy, r * 1.4, r * 0.6, c, 0.10); });
  }
  // Dark dust lanes across the glow.
  for (int i = 0; i < 10; ++i) {
    const double x = rng.Range(0, kW), y = rng.Range(0, kTile), r = rng.Range(50, 110);
    Wrapped([&](double dy) { GlowEllipse(cr, x, y + dy, r * 1.5, r * 0.4, 0x020310, 0.45); });
  }
  // Far stars.
  for (int i = 0; i < 700; ++i) {
    const double x = rng.Range(0, kW), y = rng.Range(0, kTile);
    const double r = rng.Range(0.35, 1.0), a = rng.Range(0.35, 0.95);
    const double hue = rng.Unit();
    const uint32_t c = hue < 0.6 ? 0xCFE0FF : (hue < 0.85 ? 0xFFF0D0 : 0xFFC0A0);
    Wrapped([&](double dy) {
      cairo_arc(cr, x, y + dy, r, 0, 2 * M_PI);
      SetHex(cr, c, a);
      cairo_fill(cr);
    });
  }
  for (int i = 0; i < 60; ++i) {
    const double x = rng.Range(0, kW), y = rng.Range(0, kTile), r = rng.Range(0.9, 1.7);
    const uint32_t c = (i & 1) ? 0xA8C8FF : 0xFFE0B0;
    Wrapped([&](double dy) { Star(cr, x, y + dy, r, c, 0.95); });
  }
  for (int i = 0; i < 9; ++i) {
    const double x = rng.Range(20, kW - 20), y = rng.Range(0, kTile), len = rng.Range(7, 14);
    Wrapped([&](double dy) { Sparkle(cr, x, y + dy, len, 0x9CC8FF); });
  }
  // A distant spiral galaxy.
  Wrapped([&](double dy) {
    cairo_save(cr);
    cairo_translate(cr, 470, 180 + dy);
    cairo_rotate(cr, -0.5);
    cairo_scale(cr, 1.0, 0.38);
    Glow(cr, 0, 0, 46, 0x9A80E0, 0.45);
    Glow(cr, 0, 0, 14, 0xFFF0D0, 0.9);
    cairo_restore(cr);
  });
  cairo_restore(cr);
}

void DrawLayerBTile(cairo_t* cr) {
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, kW, kTile);
  cairo_clip(cr);
  Rng rng(0xB0B);
  // Station girders far below, half lost in haze.
  Girder(cr, 30, 26, 0.38);
  Girder(cr, 552, 18, 0.26);
  // Cloud banks along both sides leave the middle open for play.
  const double banks[][4] = {{20, 80, 60, 0.22},  {590, 250, 70, 0.24}, {10, 420, 55, 0.20},
                             {580, 600, 65, 0.22}, {40, 700, 50, 0.18}, {300, 520, 45, 0.08}};
  for (const auto& b : banks) Cloud(cr, rng, b[0], b[1], b[2], b[2] * 1.3, b[3], 0x9CB4E0);
  // Thin high streaks across the field.
  for (int i = 0; i < 5; ++i) {
    const double y = rng.Range(0, kTile), x = rng.Range(150, 450);
    Wrapped([&](double dy) { GlowEllipse(cr, x, y + dy, 180, 5, 0xC8D8FF, 0.10); });
  }
  // Drifting rocks.
  for (int i = 0; i < 14; ++i) {
    const double x = rng.Range(10, kW - 10), y = rng.Range(0, kTile), r = rng.Range(4, 16);
    Rock(cr, rng, x, y, r);
  }
  cairo_restore(cr);
}

}  // namespace vxa
