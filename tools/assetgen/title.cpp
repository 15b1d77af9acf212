// The title-and-ending picture. The game squeezes its 1200 columns into 600,
// so everything is drawn in a 600 x 768 space stretched twice as wide.
#include <cmath>
#include <cstring>
#include <vector>

#include "art.h"

namespace vxa {
namespace {

// Our own angular letterforms on an 8 x 12 grid, as stroke centrelines.
struct Glyph {
  char ch;
  double advance;
  std::vector<std::vector<double>> strokes;
};

const std::vector<Glyph>& Glyphs() {
  static const std::vector<Glyph> g = {
      {'V', 9.6, {{0, 0, 4.2, 12, 8.4, 0}}},
      {'E', 9.0, {{8, 0, 0, 0, 0, 12, 8, 12}, {0, 6, 6, 6}}},
      {'S', 9.2,
       {{8, 0, 1.8, 0, 0, 1.8, 0, 4.4, 1.6, 6, 6.4, 6, 8, 7.6, 8, 10.2, 6.2, 12, 0, 12}}},
      {'P', 9.2, {{0, 12, 0, 0, 6.2, 0, 8, 1.8, 8, 4.2, 6.2, 6, 0, 6}}},
      {'R', 9.2, {{0, 12, 0, 0, 6.2, 0, 8, 1.8, 8, 4.2, 6.2, 6, 0, 6}, {3.6, 6, 8, 12}}},
      {'K', 9.0, {{0, 0, 0, 12}, {8, 0, 0.6, 7.2}, {3.2, 5, 8, 12}}},
      {'I', 3.2, {{0, 0, 0, 12}}},
      {'T', 8.0, {{-1, 0, 7, 0}, {3, 0, 3, 12}}},  // tucked under the I's slant
  };
  return g;
}

const Glyph* Find(char c) {
  for (const Glyph& g : Glyphs())
    if (g.ch == c) return &g;
  return nullptr;
}

// Builds the word's path with its left edge at x, baseline at y; returns its width.
double WordPath(cairo_t* cr, const char* word, double x, double y, double unit, double spacing) {
  const double slant = 0.22;  // forward lean, in grid units per unit of height
  double pen = 0;
  for (const char* p = word; *p; ++p) {
    const Glyph* g = Find(*p);
    if (!g) continue;
    for (const auto& s : g->strokes) {
      for (size_t i = 0; i + 1 < s.size(); i += 2) {
        const double gx = s[i] + (12 - s[i + 1]) * slant, gy = s[i + 1];
        const double px = x + (pen + gx) * unit, py = y - (12 - gy) * unit;
        if (i == 0)
          cairo_move_to(cr, px, py);
        else
          cairo_line_to(cr, px, py);
      }
    }
    pen += g->advance + spacing;
  }
  return (pen - spacing) * unit;
}

double WordWidth(const char* word, double unit, double spacing) {
  double pen = 0;
  for (const char* p = word; *p; ++p)
    if (const Glyph* g = Find(*p)) pen += g->advance + spacing;
  return (pen - spacing + 12 * 0.22) * unit;
}

// A kite-shaped emblem: the game's fighter seen as a diamond with a tail.
void Emblem(cairo_t* cr, double cx, double cy, double s) {
  Glow(cr, cx, cy, s * 2.4, 0x2A8CFF, 0.35);
  cairo_move_to(cr, cx, cy - s * 1.3);
  cairo_line_to(cr, cx + s * 0.8, cy);
  cairo_line_to(cr, cx, cy + s * 0.55);
  cairo_line_to(cr, cx - s * 0.8, cy);
  cairo_close_path(cr);
  cairo_pattern_t* p = cairo_pattern_create_linear(cx, cy - s * 1.3, cx, cy + s * 0.55);
  AddStop(p, 0.0, 0xFFFFFF);
  AddStop(p, 0.5, 0x6AD8FF);
  AddStop(p, 1.0, 0x123C8A);
  cairo_set_source(cr, p);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
  SetHex(cr, 0xE0F6FF, 0.9);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  cairo_move_to(cr, cx, cy - s * 1.3);
  cairo_line_to(cr, cx, cy + s * 0.55);
  cairo_move_to(cr, cx - s * 0.8, cy);
  cairo_line_to(cr, cx + s * 0.8, cy);
  SetHex(cr, 0x0A2050, 0.6);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  // Tail ribbons.
  cairo_move_to(cr, cx, cy + s * 0.55);
  cairo_curve_to(cr, cx - s * 0.4, cy + s * 1.0, cx + s * 0.4, cy + s * 1.3, cx, cy + s * 1.8);
  SetHex(cr, 0xFF7050, 0.9);
  cairo_set_line_width(cr, 2.0);
  cairo_stroke(cr);
}

void SpacedText(cairo_t* cr, const char* text, double cx, double y, double size, double track,
                uint32_t rgb, double alpha) {
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, size);
  double total = 0;
  const size_t n = std::strlen(text);
  std::vector<double> adv(n);
  for (size_t i = 0; i < n; ++i) {
    char s[2] = {text[i], 0};
    cairo_text_extents_t te;
    cairo_text_extents(cr, s, &te);
    adv[i] = te.x_advance;
    total += te.x_advance + (i + 1 < n ? track : 0);
  }
  double x = cx - total / 2;
  SetHex(cr, rgb, alpha);
  for (size_t i = 0; i < n; ++i) {
    char s[2] = {text[i], 0};
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, s);
    x += adv[i] + track;
  }
}

}  // namespace

void DrawTitle(cairo_t* cr) {
  cairo_save(cr);
  cairo_rectangle(cr, kTitle.left, kTitle.top, kTitle.right - kTitle.left, kTitle.bottom - kTitle.top);
  cairo_clip(cr);
  cairo_translate(cr, kTitle.left, kTitle.top);
  cairo_scale(cr, 2.0, 1.0);
  const double W = 600, cx = 300;

  // Veil: the play stays visible at the edges, the band behind the name is dark.
  cairo_pattern_t* veil = cairo_pattern_create_linear(0, 0, 0, 768);
  AddStop(veil, 0.0, 0x000008, 0.0);
  AddStop(veil, 0.22, 0x02061A, 0.45);
  AddStop(veil, 0.36, 0x02061A, 0.82);
  AddStop(veil, 0.62, 0x02061A, 0.82);
  AddStop(veil, 0.78, 0x02061A, 0.45);
  AddStop(veil, 1.0, 0x000008, 0.0);
  cairo_set_source(cr, veil);
  cairo_paint(cr);
  cairo_pattern_destroy(veil);

  // Horizon lines framing the band.
  for (double y : {262.0, 488.0}) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, W, 0);
    AddStop(p, 0.0, 0x40C8FF, 0.0);
    AddStop(p, 0.5, 0x9AE8FF, 0.9);
    AddStop(p, 1.0, 0x40C8FF, 0.0);
    cairo_set_source(cr, p);
    cairo_rectangle(cr, 0, y - 1, W, 2);
    cairo_fill(cr);
    cairo_rectangle(cr, 0, y - 5, W, 10);
    cairo_pattern_destroy(p);
    p = cairo_pattern_create_linear(0, 0, W, 0);
    AddStop(p, 0.0, 0x40C8FF, 0.0);
    AddStop(p, 0.5, 0x40C8FF, 0.25);
    AddStop(p, 1.0, 0x40C8FF, 0.0);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
  }

  Emblem(cr, cx, 318, 26);

  // The name: wide glow, dark outline, gradient body, bright top edge.
  const char* name = "VESPERKITE";
  const double unit = 4.9, spacing = 1.8;
  const double width = WordWidth(name, unit, spacing);
  const double x0 = cx - width / 2, base = 440;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  WordPath(cr, name, x0, base, unit, spacing);
  SetHex(cr, 0x2A7CFF, 0.18);
  cairo_set_line_width(cr, unit * 5.0);
  cairo_stroke_preserve(cr);
  SetHex(cr, 0x3AA0FF, 0.3);
  cairo_set_line_width(cr, unit * 3.2);
  cairo_stroke_preserve(cr);
  SetHex(cr, 0x020818, 1.0);
  cairo_set_line_width(cr, unit * 2.3);
  cairo_stroke_preserve(cr);
  cairo_pattern_t* body = cairo_pattern_create_linear(0, base - 12 * unit, 0, base);
  AddStop(body, 0.0, 0xFFFFFF);
  AddStop(body, 0.45, 0xA8ECFF);
  AddStop(body, 0.55, 0x3A9CFF);
  AddStop(body, 1.0, 0x1A3C9A);
  cairo_set_source(cr, body);
  cairo_set_line_width(cr, unit * 1.55);
  cairo_stroke(cr);
  cairo_pattern_destroy(body);

  SpacedText(cr, "SF  SHOOTING  GAME", cx, 472, 15, 3.0, 0xCFEFFF, 0.95);
  SpacedText(cr, "DIRECT 2D", cx, 520, 11, 4.0, 0x7FB8E0, 0.85);
  cairo_restore(cr);
}

}  // namespace vxa
