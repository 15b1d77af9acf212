#include "png_out.h"

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace vxa {

bool WritePng(cairo_surface_t* surface, const char* path) {
  cairo_surface_flush(surface);
  const int w = cairo_image_surface_get_width(surface);
  const int h = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);

  FILE* f = std::fopen(path, "wb");
  if (!f) {
    std::fprintf(stderr, "cannot write %s\n", path);
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    std::fprintf(stderr, "PNG encoding failed for %s\n", path);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<unsigned char> row(size_t(w) * 4);
  for (int y = 0; y < h; ++y) {
    const uint32_t* src = reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
    for (int x = 0; x < w; ++x) {
      const uint32_t p = src[x];
      const unsigned a = p >> 24;
      unsigned char* d = &row[size_t(x) * 4];
      if (a == 0) {
        d[0] = d[1] = d[2] = d[3] = 0;
        continue;
      }
      // cairo stores premultiplied colour; PNG wants it straight.
      for (int c = 0; c < 3; ++c) {
        const unsigned v = (p >> (16 - 8 * c)) & 0xFF;
        d[c] = static_cast<unsigned char>((v * 255 + a / 2) / a);
      }
      d[3] = static_cast<unsigned char>(a);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

}  // namespace vxa
