// The enemy gunships and capital ships. Each is described as a few shapes
// (hull profile, wings, side hulls, ring, turrets, engines) and drawn by one
// routine, nose up, then flipped so it comes down the screen nose first.
#include <cmath>
#include <utility>
#include <vector>

#include "art.h"

namespace vxa {
namespace {

struct Palette {
  uint32_t light, dark, edge, lamp, plume;
};

using Half = std::vector<double>;  // right half of a mirrored outline

struct ShipDesc {
  Palette pal;
  Half hull;
  std::vector<Half> wings;
  double sideOffset = 0;  // side hulls centred at +-sideOffset, drawn from `sideHull`
  Half sideHull;
  double ringY = 0, ringR = 0, ringW = 0;  // a ring around the hull when ringR > 0
  std::vector<std::pair<double, double>> turrets;  // (dx, y); dx > 0 is mirrored
  std::vector<double> engines;                     // x offsets; > 0 mirrored
  double engineY = 0, engineW = 10, plume = 30;
  int bays = 0;
  double cannon = 0;  // length of a spinal gun beyond the nose
  uint32_t seed = 1;
};

void HullGradient(cairo_t* cr, double cx, double halfW, const Palette& pal) {
  cairo_pattern_t* p = cairo_pattern_create_linear(cx - halfW, 0, cx + halfW, 0);
  AddStop(p, 0.0, Scale(pal.dark, 0.55));
  AddStop(p, 0.32, pal.light);
  AddStop(p, 0.5, Mix(pal.light, pal.dark, 0.25));
  AddStop(p, 1.0, Scale(pal.dark, 0.45));
  cairo_set_source(cr, p);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
  SetHex(cr, pal.edge);
  cairo_set_line_width(cr, 2.0);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

double MaxHalf(const Half& h) {
  double m = 1;
  for (size_t i = 0; i + 1 < h.size(); i += 2) m = std::max(m, std::fabs(h[i]));
  return m;
}

double SpanY(const Half& h, bool last) {
  double lo = 1e9, hi = -1e9;
  for (size_t i = 1; i < h.size(); i += 2) lo = std::min(lo, h[i]), hi = std::max(hi, h[i]);
  return last ? hi : lo;
}

// Plating seams, lit windows and a spine stripe, confined to the outline.
void HullDetail(cairo_t* cr, double cx, const Half& shape, const Palette& pal, Rng& rng) {
  const double halfW = MaxHalf(shape), y0 = SpanY(shape, false), y1 = SpanY(shape, true);
  cairo_save(cr);
  MirrorPath(cr, cx, shape);
  cairo_clip(cr);
  // Plates: a few tinted blocks break up the gradient.
  for (int i = 0; i < 18; ++i) {
    const double w = rng.Range(12, halfW * 0.7), h = rng.Range(16, 60);
    const double x = rng.Range(0, halfW), y = rng.Range(y0, y1);
    const uint32_t tint = (i & 1) ? pal.light : Scale(pal.dark, 0.6);
    for (int s : {-1, 1}) cairo_rectangle(cr, cx + s * x - (s < 0 ? w : 0), y, w, h);
    SetHex(cr, tint, 0.11);
    cairo_fill(cr);
  }
  // Seams across the hull.
  for (double y = y0 + 24; y < y1; y += 36) {
    cairo_move_to(cr, cx - halfW, y);
    cairo_line_to(cr, cx + halfW, y);
  }
  SetHex(cr, pal.edge, 0.35);
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);
  // Spine.
  cairo_rectangle(cr, cx - 3, y0, 6, y1 - y0);
  SetHex(cr, Scale(pal.dark, 0.5), 0.55);
  cairo_fill(cr);
  cairo_rectangle(cr, cx - 1, y0, 2, y1 - y0);
  SetHex(cr, pal.lamp, 0.5);
  cairo_fill(cr);
  cairo_restore(cr);
  // Windows: only where the hull is.
  MirrorPath(cr, cx, shape);
  for (int i = 0; i < 40; ++i) {
    const double x = rng.Range(6, halfW * 0.9), y = rng.Range(y0 + 10, y1 - 10);
    if (!cairo_in_fill(cr, cx + x, y)) continue;
    for (int s : {-1, 1}) {
      cairo_save(cr);
      cairo_new_path(cr);
      Glow(cr, cx + s * x, y, 3.2, pal.lamp, 0.9);
      cairo_restore(cr);
    }
  }
  cairo_new_path(cr);
}

void Turret(cairo_t* cr, double x, double y, double r, const Palette& pal) {
  for (double dx : {-r * 0.35, r * 0.35}) {
    cairo_rectangle(cr, x + dx - r * 0.14, y - r * 2.0, r * 0.28, r * 1.8);
  }
  FillMetal(cr, y - 2 * r, y, pal.light, pal.dark, pal.edge, 1.0);
  cairo_arc(cr, x, y, r, 0, 2 * M_PI);
  cairo_pattern_t* p = cairo_pattern_create_radial(x - r * 0.3, y - r * 0.3, 0, x, y, r);
  AddStop(p, 0.0, Scale(pal.light, 1.25));
  AddStop(p, 1.0, Scale(pal.dark, 0.7));
  cairo_set_source(cr, p);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
  SetHex(cr, pal.edge);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  Glow(cr, x, y, r * 0.45, pal.lamp, 0.9);
}

void Engine(cairo_t* cr, double x, const ShipDesc& s) {
  const double w = s.engineW, y = s.engineY;
  GlowEllipse(cr, x, y + s.plume * 0.5, w * 1.4, s.plume * 0.75, s.pal.plume, 0.75);
  GlowEllipse(cr, x, y + s.plume * 0.3, w * 0.6, s.plume * 0.45, 0xFFFFFF, 0.85);
  cairo_rectangle(cr, x - w / 2, y - w * 1.2, w, w * 1.3);
  FillMetal(cr, y - w * 1.2, y + w * 0.1, 0x8A909A, 0x2A2E36, s.pal.edge, 1.2);
}

void DrawShip(cairo_t* cr, const Rect& cell, const ShipDesc& s) {
  const double w = cell.right - cell.left, h = cell.bottom - cell.top, cx = w / 2;
  Rng rng(s.seed);
  EnterCell(cr, cell, 3);
  cairo_translate(cr, 0, h);
  cairo_scale(cr, 1, -1);

  // Shadowed halo so the ship reads against bright clouds.
  GlowEllipse(cr, cx, h * 0.5, w * 0.48, h * 0.46, 0x000000, 0.35);

  std::vector<double> engineXs;
  for (double e : s.engines) {
    engineXs.push_back(cx + e);
    if (e > 0) engineXs.push_back(cx - e);
  }
  for (double x : engineXs) Engine(cr, x, s);

  for (const Half& wing : s.wings) {
    MirrorPath(cr, cx, wing);
    FillMetal(cr, SpanY(wing, false), SpanY(wing, true), Mix(s.pal.light, s.pal.dark, 0.35),
              s.pal.dark, s.pal.edge, 1.6);
    // Lamp along each wing's outer edge.
    const size_t n = wing.size() / 2;
    const double tx = wing[2 * (n / 2)], ty = wing[2 * (n / 2) + 1];
    Glow(cr, cx + tx - 4, ty, 5, s.pal.lamp, 0.9);
    Glow(cr, cx - tx + 4, ty, 5, s.pal.lamp, 0.9);
  }

  if (s.ringR > 0) {
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_arc(cr, cx, s.ringY, s.ringR, 0, 2 * M_PI);
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, s.ringY, s.ringR - s.ringW, 0, 2 * M_PI);
    cairo_pattern_t* p = cairo_pattern_create_radial(cx, s.ringY, s.ringR - s.ringW, cx,
                                                     s.ringY, s.ringR);
    AddStop(p, 0.0, Scale(s.pal.dark, 0.6));
    AddStop(p, 0.5, s.pal.light);
    AddStop(p, 1.0, Scale(s.pal.dark, 0.5));
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    SetHex(cr, s.pal.edge);
    cairo_set_line_width(cr, 1.6);
    cairo_stroke(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    for (int k = 0; k < 8; ++k) {
      const double a = k * M_PI / 4 + M_PI / 8;
      Glow(cr, cx + std::cos(a) * (s.ringR - s.ringW / 2), s.ringY + std::sin(a) * (s.ringR - s.ringW / 2),
           s.ringW * 0.35, s.pal.lamp, 0.95);
    }
    // Spokes to the hull.
    for (int k = 0; k < 4; ++k) {
      const double a = k * M_PI / 2 + M_PI / 4;
      cairo_move_to(cr, cx + std::cos(a) * 20, s.ringY + std::sin(a) * 20);
      cairo_line_to(cr, cx + std::cos(a) * (s.ringR - s.ringW), s.ringY + std::sin(a) * (s.ringR - s.ringW));
    }
    SetHex(cr, s.pal.edge);
    cairo_set_line_width(cr, 7);
    cairo_stroke_preserve(cr);
    SetHex(cr, s.pal.dark);
    cairo_set_line_width(cr, 4);
    cairo_stroke(cr);
  }

  if (s.sideOffset > 0) {
    for (int side : {-1, 1}) {
      const double sx = cx + side * s.sideOffset;
      MirrorPath(cr, sx, s.sideHull);
      HullGradient(cr, sx, MaxHalf(s.sideHull), s.pal);
      HullDetail(cr, sx, s.sideHull, s.pal, rng);
    }
  }

  if (s.cannon > 0) {
    const double noseY = SpanY(s.hull, false);
    cairo_rectangle(cr, cx - 7, noseY - s.cannon, 14, s.cannon + 40);
    FillMetal(cr, noseY - s.cannon, noseY + 40, 0x9AA0AA, 0x2A2E36, s.pal.edge, 1.4);
    Glow(cr, cx, noseY - s.cannon + 4, 14, s.pal.plume, 0.95);
  }

  if (!s.hull.empty()) {
    MirrorPath(cr, cx, s.hull);
    HullGradient(cr, cx, MaxHalf(s.hull), s.pal);
    HullDetail(cr, cx, s.hull, s.pal, rng);
  }

  if (s.bays > 0) {
    const double y0 = SpanY(s.hull, false) + 90, y1 = SpanY(s.hull, true) - 90;
    const double step = (y1 - y0) / s.bays;
    for (int i = 0; i < s.bays; ++i) {
      for (int side : {-1, 1}) {
        const double x = cx + side * 70;
        cairo_rectangle(cr, x - 22, y0 + i * step + 10, 44, step - 30);
        SetHex(cr, 0x05080A, 0.9);
        cairo_fill_preserve(cr);
        SetHex(cr, s.pal.lamp, 0.8);
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
        GlowEllipse(cr, x, y0 + i * step + step / 2 - 5, 16, (step - 34) / 2, s.pal.lamp, 0.35);
      }
    }
    // Runway lights down the middle.
    for (double y = y0; y < y1; y += 22) Glow(cr, cx, y, 3.5, 0xFFFFFF, 0.9);
  }

  for (auto [dx, y] : s.turrets) {
    const double r = std::max(7.0, w / 28);
    Turret(cr, cx + dx, y, r, s.pal);
    if (dx > 0) Turret(cr, cx - dx, y, r, s.pal);
  }

  // Bridge glow near the nose reads as the ship's "eye".
  if (!s.hull.empty()) {
    const double y = SpanY(s.hull, false) + (SpanY(s.hull, true) - SpanY(s.hull, false)) * 0.16;
    Glow(cr, cx, y, w / 22, s.pal.plume, 0.9);
    Glow(cr, cx, y, w / 60, 0xFFFFFF, 1.0);
  }
  cairo_restore(cr);
}

Palette Pal(uint32_t light, uint32_t dark, uint32_t edge, uint32_t lamp, uint32_t plume) {
  return {light, dark, edge, lamp, plume};
}

}  // namespace

void DrawGunships(cairo_t* cr) {
  ShipDesc disc;
  disc.pal = Pal(0xB8B0D8, 0x3A3458, 0x120E22, 0x7CF0FF, 0x40C0FF);
  disc.hull = {0, 50, 26, 70, 38, 150, 30, 240, 0, 250};
  disc.ringY = 150, disc.ringR = 112, disc.ringW = 30;
  disc.turrets = {{72, 110}, {72, 190}};
  disc.engines = {18};
  disc.engineY = 250, disc.engineW = 12, disc.plume = 30;
  disc.seed = 11;
  DrawShip(cr, kGunships[0], disc);

  ShipDesc twin;
  twin.pal = Pal(0x9FE0C0, 0x1E4A3C, 0x081A14, 0xB0FF70, 0x60FFB0);
  twin.hull = {0, 80, 26, 110, 30, 190, 18, 215, 0, 220};
  twin.sideOffset = 72;
  twin.sideHull = {0, 16, 14, 46, 24, 140, 22, 240, 0, 248};
  twin.wings = {{20, 120, 120, 150, 130, 190, 20, 200}};
  twin.turrets = {{0, 150}};
  twin.engines = {72};
  twin.engineY = 252, twin.engineW = 14, twin.plume = 32;
  twin.seed = 12;
  DrawShip(cr, kGunships[1], twin);

  ShipDesc crab;
  crab.pal = Pal(0xF0C080, 0x5A3414, 0x1E1006, 0xFFE060, 0xFF8A30);
  crab.hull = {0, 36, 36, 64, 56, 120, 128, 168, 136, 196, 96, 206, 54, 244, 0, 236};
  crab.wings = {{40, 100, 106, 26, 124, 40, 116, 70, 80, 128}};
  crab.turrets = {{60, 150}};
  crab.engines = {24};
  crab.engineY = 242, crab.engineW = 14, crab.plume = 36;
  crab.seed = 13;
  DrawShip(cr, kGunships[2], crab);
}

void DrawCapitalShips(cairo_t* cr) {
  std::vector<ShipDesc> ships(10);

  ShipDesc& lancer = ships[0];
  lancer.pal = Pal(0xA8C4E8, 0x26384E, 0x0A1220, 0x8CF4FF, 0x48C8FF);
  lancer.hull = {0, 20, 10, 60, 22, 160, 30, 300, 34, 520, 40, 640, 36, 730, 0, 735};
  lancer.wings = {{28, 330, 176, 600, 180, 640, 120, 650, 34, 600}};
  lancer.turrets = {{0, 250}, {0, 430}, {90, 560}};
  lancer.engines = {18};
  lancer.engineY = 738, lancer.engineW = 18, lancer.plume = 48;

  ShipDesc& bastion = ships[1];
  bastion.pal = Pal(0xC4C8A0, 0x3C4028, 0x14160C, 0xFFD070, 0xFF9A30);
  bastion.hull = {0, 30, 40, 40, 70, 90, 90, 140, 90, 300, 110, 330, 110, 560,
                  95, 600, 95, 700, 70, 740, 0, 740};
  bastion.wings = {{100, 380, 170, 410, 170, 520, 110, 545}};
  bastion.turrets = {{0, 130}, {50, 210}, {50, 310}, {140, 460}, {60, 430}, {60, 530}, {0, 620}};
  bastion.engines = {30, 72};
  bastion.engineY = 742, bastion.engineW = 22, bastion.plume = 44;

  ShipDesc& trident = ships[2];
  trident.pal = Pal(0xF2F0F0, 0x5C5060, 0x1C1418, 0xFF6050, 0xFF4A4A);
  trident.hull = {0, 10, 14, 60, 30, 200, 40, 400, 44, 600, 34, 740, 0, 745};
  trident.sideOffset = 122;
  trident.sideHull = {0, 90, 12, 130, 22, 250, 24, 520, 18, 680, 0, 690};
  trident.wings = {{36, 420, 122, 380, 122, 470, 40, 530}};
  trident.turrets = {{0, 300}, {0, 520}, {122, 300}};
  trident.engines = {0, 122};
  trident.engineY = 748, trident.engineW = 20, trident.plume = 40;

  ShipDesc& manta = ships[3];
  manta.pal = Pal(0xD2A8E8, 0x3A1A50, 0x14081E, 0xFF80F0, 0xE050FF);
  manta.hull = {0, 40, 40, 90, 100, 200, 170, 360, 192, 470, 170, 520, 110, 560,
                70, 650, 40, 700, 0, 690};
  manta.turrets = {{90, 380}, {0, 240}};
  manta.engines = {25, 55};
  manta.engineY = 700, manta.engineW = 16, manta.plume = 60;

  ShipDesc& spire = ships[4];
  spire.pal = Pal(0xF4E0A0, 0x5A4618, 0x1E1606, 0xFFF6B0, 0xFFD040);
  spire.hull = {0, 20, 18, 80, 26, 200, 28, 600, 40, 700, 30, 750, 0, 750};
  spire.ringY = 400, spire.ringR = 160, spire.ringW = 34;
  spire.turrets = {{0, 150}, {0, 620}};
  spire.engines = {18};
  spire.engineY = 752, spire.engineW = 16, spire.plume = 40;

  ShipDesc& carrier = ships[5];
  carrier.pal = Pal(0xA0A8B0, 0x24282E, 0x0A0C0E, 0x70FF90, 0x60FFA0);
  carrier.hull = {0, 40, 60, 50, 120, 90, 142, 140, 142, 640, 120, 700, 80, 740, 0, 740};
  carrier.bays = 4;
  carrier.turrets = {{124, 150}, {124, 620}};
  carrier.engines = {40, 100};
  carrier.engineY = 742, carrier.engineW = 22, carrier.plume = 44;

  ShipDesc& hammer = ships[6];
  hammer.pal = Pal(0xE88080, 0x4A1014, 0x1A0406, 0xFFB050, 0xFF5030);
  hammer.hull = {0, 40, 160, 40, 182, 70, 170, 120, 60, 150, 38, 220, 38, 640,
                 62, 700, 48, 745, 0, 745};
  hammer.wings = {{36, 500, 136, 610, 136, 676, 36, 650}};
  hammer.turrets = {{128, 86}, {62, 86}, {0, 400}};
  hammer.engines = {24};
  hammer.engineY = 748, hammer.engineW = 20, hammer.plume = 44;

  ShipDesc& twin = ships[7];
  twin.pal = Pal(0x90E0E0, 0x16404A, 0x061418, 0xA0FFFF, 0x40E8FF);
  twin.hull = {0, 200, 30, 220, 30, 600, 0, 620};
  twin.sideOffset = 100;
  twin.sideHull = {0, 20, 20, 70, 42, 200, 44, 620, 30, 740, 0, 745};
  twin.wings = {{26, 300, 100, 286, 100, 340, 26, 354}, {26, 500, 100, 486, 100, 540, 26, 554}};
  twin.turrets = {{100, 140}, {100, 420}};
  twin.engines = {100};
  twin.engineY = 748, twin.engineW = 24, twin.plume = 44;

  ShipDesc& arrow = ships[8];
  arrow.pal = Pal(0xE8F4FF, 0x445A78, 0x101826, 0x9CD8FF, 0x7AB8FF);
  arrow.hull = {0, 20, 20, 80, 32, 300, 32, 720, 0, 730};
  arrow.wings = {{30, 110, 110, 250, 110, 290, 30, 220},
                 {30, 300, 160, 480, 160, 530, 30, 420},
                 {30, 520, 186, 690, 186, 730, 30, 640}};
  arrow.turrets = {{0, 200}, {0, 460}};
  arrow.engines = {16};
  arrow.engineY = 734, arrow.engineW = 18, arrow.plume = 50;

  ShipDesc& dread = ships[9];
  dread.pal = Pal(0x8A7A80, 0x1A1014, 0x060204, 0xFF3030, 0xFF2020);
  dread.hull = {0, 60, 30, 80, 60, 130, 100, 200, 120, 320, 130, 450, 150, 520,
                150, 640, 110, 720, 60, 750, 0, 750};
  dread.wings = {{118, 300, 188, 380, 188, 480, 128, 460}};
  dread.cannon = 50;
  dread.turrets = {{0, 220}, {60, 280}, {80, 400}, {160, 420}, {40, 520}, {110, 580}, {0, 660}};
  dread.engines = {30, 80, 120};
  dread.engineY = 752, dread.engineW = 22, dread.plume = 40;

  for (int i = 0; i < 10; ++i) {
    ships[i].seed = 101 + i;
    DrawShip(cr, kCapitals[i], ships[i]);
  }
}

}  // namespace vxa
