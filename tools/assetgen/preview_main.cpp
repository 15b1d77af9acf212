// Contact sheet for judging the art as the game shows it: every sprite at
// its own size over layer A with layer B on top, and the title squeezed to
// 600 x 768 over the same field.
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "art.h"
#include "png_out.h"

using namespace vxa;

namespace {

void Field(cairo_t* cr, cairo_surface_t* back, double x, double y, double h, double scroll) {
  // Layer A then layer B, each offset like the game does mid-scroll.
  for (int layer = 0; layer < 2; ++layer) {
    cairo_save(cr);
    cairo_rectangle(cr, x, y, 600, h);
    cairo_clip(cr);
    const double top = layer == 0 ? 0 : 1536;
    const double s = layer == 0 ? scroll : scroll * 2;
    cairo_set_source_surface(cr, back, x, y - top - 768 + std::fmod(s, 768.0));
    cairo_rectangle(cr, x, y, 600, h);
    cairo_fill(cr);
    cairo_restore(cr);
  }
}

void Blit(cairo_t* cr, cairo_surface_t* sheet, const Rect& r, double x, double y) {
  cairo_save(cr);
  cairo_set_source_surface(cr, sheet, x - r.left, y - r.top);
  cairo_rectangle(cr, x, y, r.right - r.left, r.bottom - r.top);
  cairo_fill(cr);
  cairo_restore(cr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <assets/images folder> <output folder>\n", argv[0]);
    return 2;
  }
  const std::string in = argv[1], out = argv[2];
  cairo_surface_t* back = cairo_image_surface_create_from_png((in + "/back01.png").c_str());
  cairo_surface_t* sheet = cairo_image_surface_create_from_png((in + "/jiki1.png").c_str());
  if (cairo_surface_status(back) || cairo_surface_status(sheet)) {
    std::fprintf(stderr, "cannot read the images in %s\n", in.c_str());
    return 1;
  }

  // Page 1: small sprites, gunships and overlays over a 600 x 768 field.
  // Page 2 and 3: the capital ships, five per 1200 x 800 page over two fields.
  cairo_surface_t* page = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1200, 768);
  cairo_t* cr = cairo_create(page);
  Field(cr, back, 0, 0, 768, 0);
  Field(cr, back, 600, 0, 768, 300);
  Blit(cr, sheet, kFighter, 275, 600);
  Blit(cr, sheet, kPod, 215, 630);
  Blit(cr, sheet, kPod, 335, 630);
  Blit(cr, sheet, kPod, 165, 680);
  Blit(cr, sheet, kPod, 385, 680);
  Blit(cr, sheet, kSight, 100, 300);
  Blit(cr, sheet, kLockFrame, 100, 300);
  Blit(cr, sheet, kSmallEnemy, 240, 380);
  Blit(cr, sheet, kMarker, 235, 375);
  for (int i = 0; i < 6; ++i) {
    Blit(cr, sheet, kPickup, 40 + i * 34, 560);
    Blit(cr, sheet, kShard, 40 + i * 20, 600);
    Blit(cr, sheet, kEmber, 40 + i * 20, 620);
    Blit(cr, sheet, kSmallEnemy, 40 + i * 80, 20);
  }
  for (int i = 0; i < 3; ++i) Blit(cr, sheet, kGunships[i], 600 + i * 200 - (i == 2 ? 100 : 0), 100 + i * 160);
  cairo_destroy(cr);
  bool ok = WritePng(page, (out + "/sheet.png").c_str());
  cairo_surface_destroy(page);

  for (int pg = 0; pg < 2; ++pg) {
    page = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 2400, 800);
    cr = cairo_create(page);
    Field(cr, back, 0, 0, 800, 100);
    Field(cr, back, 600, 0, 800, 400);
    Field(cr, back, 1200, 0, 800, 650);
    Field(cr, back, 1800, 0, 800, 520);
    for (int i = 0; i < 5; ++i) {
      const int k = pg * 5 + i;
      if (k < 10) Blit(cr, sheet, kCapitals[k], 40 + i * 470, 0);
    }
    cairo_destroy(cr);
    ok = WritePng(page, (out + "/capitals" + std::to_string(pg + 1) + ".png").c_str()) && ok;
    cairo_surface_destroy(page);
  }

  // The small sprites four times as large, to judge their detail.
  page = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1120, 420);
  cr = cairo_create(page);
  Field(cr, back, 0, 0, 420, 500);
  Field(cr, back, 600, 0, 420, 120);
  cairo_scale(cr, 4, 4);
  const Rect small[] = {kFighter, kPod, kSmallEnemy, kPickup, kShard, kEmber, kMarker};
  double zx = 4;
  for (const Rect& r : small) {
    cairo_save(cr);
    cairo_set_source_surface(cr, sheet, zx - r.left, 4 - r.top);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, zx, 4, r.right - r.left, r.bottom - r.top);
    cairo_fill(cr);
    cairo_restore(cr);
    zx += (r.right - r.left) + 6;
  }
  cairo_destroy(cr);
  ok = WritePng(page, (out + "/zoom.png").c_str()) && ok;
  cairo_surface_destroy(page);

  // The title as the game shows it: squeezed 2:1 over the field.
  page = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 600, 768);
  cr = cairo_create(page);
  Field(cr, back, 0, 0, 768, 200);
  cairo_save(cr);
  cairo_scale(cr, 0.5, 1.0);
  cairo_set_source_surface(cr, back, -kTitle.left, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
  cairo_rectangle(cr, 0, 0, 1200, 768);
  cairo_fill(cr);
  cairo_restore(cr);
  Blit(cr, sheet, kFighter, 275, 470);
  cairo_destroy(cr);
  ok = WritePng(page, (out + "/title.png").c_str()) && ok;
  cairo_surface_destroy(page);
  cairo_surface_destroy(back);
  cairo_surface_destroy(sheet);
  return ok ? 0 : 1;
}
