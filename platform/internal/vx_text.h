// Contract between text formats (platform/dwrite, FreeType) and text drawing
// (platform/d2d): DirectWrite lays text out into positioned glyph bitmaps,
// Direct2D composites them.
#pragma once
#include <d2d1.h>
#include <dwrite.h>

#include <cstdint>
#include <vector>

// One rasterised glyph, coverage 0..255, cached for the life of the process
// (the pointer is stable and unique per face, size and glyph).
struct VxGlyphBitmap {
  int width;
  int height;
  const uint8_t* coverage;  // width * height bytes, rows top to bottom
};

struct VxPlacedGlyph {
  float left;  // target pixels of the bitmap's top-left corner
  float top;
  const VxGlyphBitmap* glyph;
};

// Lays text out as DrawText does: lines split at '\n', each aligned across
// the layout rectangle's width by the format's alignment, the first line's
// top at the rectangle's top, no clipping, line height from the font's
// metrics. Appends to out (which the caller reuses: no allocation once warm).
// Returns false when format is not one of ours.
bool VxLayoutText(IDWriteTextFormat* format, const WCHAR* text, UINT32 length, const D2D1_RECT_F& layout,
                  std::vector<VxPlacedGlyph>& out);
