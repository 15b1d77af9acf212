#pragma once
#include <cairo.h>

namespace vxa {
// Writes an ARGB32 surface as straight-alpha RGBA PNG at full compression.
// Returns false (and prints one line) when the file can't be written.
bool WritePng(cairo_surface_t* surface, const char* path);
}
