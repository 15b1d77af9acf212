// Draws images/back01.png and images/jiki1.png into the folder given.
#include <cstdio>
#include <string>

#include "art.h"
#include "png_out.h"

using namespace vxa;

namespace {

cairo_surface_t* Surface(int w, int h) {
  return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
}

// Draws one tile and pastes it twice, so the layer repeats to the pixel.
void PasteTiled(cairo_t* cr, void (*draw)(cairo_t*), const Rect& layer) {
  cairo_surface_t* tile = Surface(layer.right - layer.left, kTile);
  cairo_t* tc = cairo_create(tile);
  draw(tc);
  cairo_destroy(tc);
  for (int y = layer.top; y < layer.bottom; y += kTile) {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, tile, layer.left, y);
    cairo_rectangle(cr, layer.left, y, layer.right - layer.left, kTile);
    cairo_fill(cr);
    cairo_restore(cr);
  }
  cairo_surface_destroy(tile);
}

bool Finish(cairo_t* cr, cairo_surface_t* s, const std::string& path) {
  const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS && WritePng(s, path.c_str());
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS)
    std::fprintf(stderr, "drawing %s failed: %s\n", path.c_str(), cairo_status_to_string(cairo_status(cr)));
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <assets/images folder>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];

  cairo_surface_t* back = Surface(kBackW, kBackH);
  cairo_t* cr = cairo_create(back);
  PasteTiled(cr, DrawLayerATile, kLayerA);
  PasteTiled(cr, DrawLayerBTile, kLayerB);
  DrawTitle(cr);
  bool ok = Finish(cr, back, dir + "/back01.png");

  cairo_surface_t* sheet = Surface(kSheetW, kSheetH);
  cr = cairo_create(sheet);
  DrawSmallSprites(cr);
  DrawOverlays(cr);
  DrawGunships(cr);
  DrawCapitalShips(cr);
  ok = Finish(cr, sheet, dir + "/jiki1.png") && ok;
  return ok ? 0 : 1;
}
