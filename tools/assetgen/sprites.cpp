// The fighter's side of the sheet and the small pieces: pod, interceptor,
// pickup, burst fragments, and the mostly clear aiming overlays.
#include <cmath>

#include "art.h"

namespace vxa {
namespace {

void Stroke(cairo_t* cr, uint32_t rgb, double alpha, double width) {
  SetHex(cr, rgb, alpha);
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
}

void DrawFighter(cairo_t* cr) {
  EnterCell(cr, kFighter, 2);
  const double cx = 25;
  // Engine plumes first, so the hull sits on top of their roots.
  for (double ex : {cx - 5.5, cx + 5.5}) {
    GlowEllipse(cr, ex, 91, 6, 7, 0x3AA8FF, 1.0);
    GlowEllipse(cr, ex, 89, 3, 6, 0xFFFFFF, 1.0);
  }
  // Main delta wing.
  MirrorPath(cr, cx, {0, 40, 7, 42, 21, 70, 21, 78, 14, 80, 0, 80});
  FillMetal(cr, 40, 80, 0xC9D3E2, 0x4C5A72, 0x141B28, 0.9);
  // Wing stripes.
  MirrorPath(cr, cx, {8, 50, 10, 50, 18, 71, 16, 71});
  SetHex(cr, 0x2FD2FF, 0.9);
  cairo_fill(cr);
  // Tail fins.
  MirrorPath(cr, cx, {5, 66, 7, 66, 12, 86, 9, 87});
  FillMetal(cr, 66, 87, 0xB4C0D4, 0x3C4860, 0x141B28, 0.8);
  // Fuselage.
  MirrorPath(cr, cx, {0, 5, 1.8, 11, 3.6, 22, 5.5, 38, 6.5, 58, 6.5, 84, 4.5, 89, 0, 89});
  cairo_pattern_t* p = cairo_pattern_create_linear(cx - 7, 0, cx + 7, 0);
  AddStop(p, 0.0, 0x4A566C);
  AddStop(p, 0.4, 0xF2F6FC);
  AddStop(p, 0.65, 0xBCC8DA);
  AddStop(p, 1.0, 0x3A4558);
  cairo_set_source(cr, p);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
  Stroke(cr, 0x141B28, 1.0, 0.9);
  // Canards.
  MirrorPath(cr, cx, {3.5, 27, 10, 34, 10, 37, 4.5, 36});
  FillMetal(cr, 27, 37, 0xD4DCE8, 0x56647C, 0x141B28, 0.7);
  // Canopy.
  cairo_save(cr);
  cairo_translate(cr, cx, 25);
  cairo_scale(cr, 2.6, 8);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr);
  p = cairo_pattern_create_linear(0, 17, 0, 33);
  AddStop(p, 0.0, 0xBFF4FF);
  AddStop(p, 0.5, 0x1E7CE0);
  AddStop(p, 1.0, 0x0A1E52);
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  // Nose stripe and wing-tip lights.
  cairo_move_to(cr, cx, 36);
  cairo_line_to(cr, cx, 84);
  Stroke(cr, 0xFF5A3C, 0.9, 1.2);
  Glow(cr, cx - 20, 75, 3.5, 0xFF4040, 1.0);
  Glow(cr, cx + 20, 75, 3.5, 0x40FF80, 1.0);
  cairo_restore(cr);
}

void DrawPod(cairo_t* cr) {
  EnterCell(cr, kPod, 2);
  const double cx = 25, cy = 36;
  GlowEllipse(cr, cx, 58, 6, 9, 0x3AA8FF, 0.8);
  // Side blades.
  for (int s : {-1, 1}) {
    cairo_move_to(cr, cx + s * 9, 22);
    cairo_line_to(cr, cx + s * 19, 30);
    cairo_line_to(cr, cx + s * 20, 52);
    cairo_line_to(cr, cx + s * 11, 50);
    cairo_close_path(cr);
    FillMetal(cr, 22, 52, 0xBAC6D8, 0x3E4A62, 0x141B28, 0.8);
  }
  // Gun barrel.
  cairo_rectangle(cr, cx - 1.8, 10, 3.6, 14);
  FillMetal(cr, 10, 24, 0xE0E6F0, 0x505C70, 0x141B28, 0.6);
  // Core orb.
  Glow(cr, cx, cy, 17, 0x40C8FF, 0.55);
  cairo_arc(cr, cx, cy, 10, 0, 2 * M_PI);
  cairo_pattern_t* p = cairo_pattern_create_radial(cx - 3, cy - 4, 1, cx, cy, 10);
  AddStop(p, 0.0, 0xFFFFFF);
  AddStop(p, 0.3, 0x8CEBFF);
  AddStop(p, 0.8, 0x1878D8);
  AddStop(p, 1.0, 0x0C2E6A);
  cairo_set_source(cr, p);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
  Stroke(cr, 0x0A1A38, 1.0, 1.0);
  cairo_arc(cr, cx, cy, 13, M_PI * 0.15, M_PI * 0.85);
  Stroke(cr, 0xCFE8FF, 0.8, 1.4);
  cairo_restore(cr);
}

void DrawSmallEnemy(cairo_t* cr) {
  EnterCell(cr, kSmallEnemy, 2);
  // Drawn nose-up, then flipped: it comes down the screen at the player.
  cairo_translate(cr, 0, 60);
  cairo_scale(cr, 1, -1);
  const double cx = 30;
  GlowEllipse(cr, cx, 52, 7, 6, 0xFF8A2A, 0.9);
  // Forward-swept claws.
  MirrorPath(cr, cx, {4, 30, 22, 10, 26, 14, 24, 24, 9, 42, 4, 42});
  FillMetal(cr, 10, 42, 0xE04A5A, 0x4A0E22, 0x1A0510, 1.0);
  // Rear fins.
  MirrorPath(cr, cx, {5, 40, 15, 50, 14, 55, 4, 50});
  FillMetal(cr, 40, 55, 0xB83248, 0x3A0A1A, 0x1A0510, 0.9);
  // Body.
  MirrorPath(cr, cx, {0, 5, 4, 13, 7, 26, 7, 40, 4, 52, 0, 53});
  cairo_pattern_t* p = cairo_pattern_create_linear(cx - 7, 0, cx + 7, 0);
  AddStop(p, 0.0, 0x3C0A1C);
  AddStop(p, 0.45, 0xF06A78);
  AddStop(p, 1.0, 0x32081A);
  cairo_set_source(cr, p);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
  Stroke(cr, 0x1A0510, 1.0, 1.0);
  // Eye.
  Glow(cr, cx, 24, 8, 0xFFE040, 0.8);
  cairo_arc(cr, cx, 24, 3, 0, 2 * M_PI);
  SetHex(cr, 0xFFFBE0);
  cairo_fill(cr);
  // Claw tips.
  Glow(cr, cx - 23, 13, 3, 0xFFB040, 1.0);
  Glow(cr, cx + 23, 13, 3, 0xFFB040, 1.0);
  cairo_restore(cr);
}

void DrawPickup(cairo_t* cr) {
  EnterCell(cr, kPickup, 2);
  const double c = 15;
  Glow(cr, c, c, 12.5, 0xB8FF4A, 0.7);
  cairo_move_to(cr, c, 5);
  cairo_line_to(cr, c + 8, c);
  cairo_line_to(cr, c, 25);
  cairo_line_to(cr, c - 8, c);
  cairo_close_path(cr);
  cairo_pattern_t* p = cairo_pattern_create_linear(c - 8, 5, c + 8, 25);
  AddStop(p, 0.0, 0xFFFFFF);
  AddStop(p, 0.4, 0xD8FF6A);
  AddStop(p, 1.0, 0x2E8A10);
  cairo_set_source(cr, p);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
  Stroke(cr, 0x1C4A08, 1.0, 0.8);
  // Facets.
  cairo_move_to(cr, c - 8, c);
  cairo_line_to(cr, c + 8, c);
  cairo_move_to(cr, c, 5);
  cairo_line_to(cr, c, 25);
  Stroke(cr, 0xFFFFFF, 0.55, 0.7);
  cairo_restore(cr);
}

void DrawFragments(cairo_t* cr) {
  // Torn hull plate, still glowing at its edges.
  EnterCell(cr, kShard, 2);
  Glow(cr, 8, 8, 6, 0xFF9030, 0.9);
  cairo_move_to(cr, 3, 5);
  cairo_line_to(cr, 11, 3);
  cairo_line_to(cr, 13, 8);
  cairo_line_to(cr, 7, 13);
  cairo_close_path(cr);
  FillMetal(cr, 3, 13, 0xF0F2F6, 0x6A7080, 0xFFC070, 1.2);
  Glow(cr, 9, 7, 2.5, 0xFFFFFF, 0.9);
  cairo_restore(cr);
  // Burning ember: white-hot core in an orange flare.
  EnterCell(cr, kEmber, 2);
  Glow(cr, 8, 8, 6, 0xFF5A10, 1.0);
  Glow(cr, 8, 8, 4.2, 0xFFC040, 1.0);
  cairo_arc(cr, 8, 8, 2.0, 0, 2 * M_PI);
  SetHex(cr, 0xFFFDE8);
  cairo_fill(cr);
  cairo_restore(cr);
}

// Corner brackets of a frame inset by `inset`, legs `leg` long.
void Brackets(cairo_t* cr, double w, double h, double inset, double leg) {
  const double xs[2] = {inset, w - inset}, ys[2] = {inset, h - inset};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) {
      const double dx = i ? -leg : leg, dy = j ? -leg : leg;
      cairo_move_to(cr, xs[i] + dx, ys[j]);
      cairo_line_to(cr, xs[i], ys[j]);
      cairo_line_to(cr, xs[i], ys[j] + dy);
    }
}

void GlowStroke(cairo_t* cr, uint32_t rgb, double alpha, double width) {
  SetHex(cr, rgb, alpha * 0.25);
  cairo_set_line_width(cr, width * 3.5);
  cairo_stroke_preserve(cr);
  SetHex(cr, rgb, alpha);
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
}

void DrawMarker(cairo_t* cr) {
  EnterCell(cr, kMarker, 2);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
  Brackets(cr, 70, 70, 8, 13);
  GlowStroke(cr, 0xFF4030, 0.95, 2.2);
  cairo_move_to(cr, 35, 20);
  cairo_line_to(cr, 50, 35);
  cairo_line_to(cr, 35, 50);
  cairo_line_to(cr, 20, 35);
  cairo_close_path(cr);
  GlowStroke(cr, 0xFFB020, 0.9, 1.4);
  Glow(cr, 35, 35, 5, 0xFFE070, 1.0);
  cairo_restore(cr);
}

void DrawSight(cairo_t* cr) {
  EnterCell(cr, kSight, 2);
  const uint32_t c = 0x58F0FF;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  Brackets(cr, 400, 300, 6, 34);
  GlowStroke(cr, c, 0.75, 1.6);
  // Range ladders down both sides.
  for (int i = 0; i < 9; ++i) {
    const double y = 60 + i * 22.5, len = (i % 4 == 0) ? 12 : 6;
    cairo_move_to(cr, 12, y);
    cairo_line_to(cr, 12 + len, y);
    cairo_move_to(cr, 388, y);
    cairo_line_to(cr, 388 - len, y);
  }
  SetHex(cr, c, 0.55);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  // Reticle: broken ring, cross, centre pip.
  for (int q = 0; q < 4; ++q) {
    const double a = q * M_PI / 2;
    cairo_new_sub_path(cr);
    cairo_arc(cr, 200, 150, 28, a + 0.25, a + M_PI / 2 - 0.25);
  }
  GlowStroke(cr, c, 0.85, 1.6);
  const double arms[4][4] = {{200, 104, 200, 130}, {200, 170, 200, 196},
                             {154, 150, 180, 150}, {220, 150, 246, 150}};
  for (const auto& a : arms) {
    cairo_move_to(cr, a[0], a[1]);
    cairo_line_to(cr, a[2], a[3]);
  }
  GlowStroke(cr, c, 0.8, 1.4);
  Glow(cr, 200, 150, 4, 0xE8FFFF, 1.0);
  // Bore line from the nose.
  double dashes[] = {6, 8};
  cairo_set_dash(cr, dashes, 2, 0);
  cairo_move_to(cr, 200, 292);
  cairo_line_to(cr, 200, 206);
  SetHex(cr, c, 0.45);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void DrawLockFrame(cairo_t* cr) {
  EnterCell(cr, kLockFrame, 2);
  const uint32_t c = 0xFF5030;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
  Brackets(cr, 400, 300, 16, 46);
  GlowStroke(cr, c, 0.95, 3.0);
  // Hatched corner tabs.
  for (int i = 0; i < 4; ++i) {
    const double x = (i & 1) ? 384 - 22 : 16, y = (i & 2) ? 284 - 6 : 16;
    cairo_rectangle(cr, x + ((i & 1) ? 0 : 8), y + ((i & 2) ? -2 : 8), 14, 6);
  }
  SetHex(cr, c, 0.6);
  cairo_fill(cr);
  // Tag above the frame centre.
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, 15);
  cairo_text_extents_t te;
  cairo_text_extents(cr, "LOCK ON", &te);
  const double tx = 200 - te.width / 2 - te.x_bearing, ty = 40;
  cairo_rectangle(cr, tx - 8, ty - 15, te.width + 16, 21);
  SetHex(cr, 0x3A0A06, 0.55);
  cairo_fill_preserve(cr);
  SetHex(cr, c, 0.9);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  cairo_move_to(cr, tx, ty);
  SetHex(cr, 0xFFD0A0, 1.0);
  cairo_show_text(cr, "LOCK ON");
  // Side chevrons pointing inwards.
  for (int s : {-1, 1}) {
    const double x = 200 + s * 186;
    cairo_move_to(cr, x, 138);
    cairo_line_to(cr, x - s * 10, 150);
    cairo_line_to(cr, x, 162);
  }
  GlowStroke(cr, c, 0.9, 2.0);
  cairo_restore(cr);
}

}  // namespace

void DrawSmallSprites(cairo_t* cr) {
  DrawFighter(cr);
  DrawPod(cr);
  DrawSmallEnemy(cr);
  DrawPickup(cr);
  DrawFragments(cr);
}

void DrawOverlays(cairo_t* cr) {
  DrawMarker(cr);
  DrawSight(cr);
  DrawLockFrame(cr);
}

}  // namespace vxa
