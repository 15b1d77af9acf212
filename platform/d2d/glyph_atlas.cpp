#include "d2d/glyph_atlas.h"

#include <epoxy/gl.h>

#include <algorithm>

namespace vxd2d {

GlyphAtlas::GlyphAtlas() : pixels_(static_cast<size_t>(kSide) * kSide, 0) { slots_.reserve(1024); }

void GlyphAtlas::StartOverIfFull() {
  if (y_ <= kSide * 3 / 4) return;
  std::fill(pixels_.begin(), pixels_.end(), 0);
  slots_.clear();
  x_ = y_ = rowHeight_ = 0;
  dirtyY0_ = 0;
  dirtyY1_ = kSide;
}

GlyphAtlas::Slot GlyphAtlas::Place(const VxGlyphBitmap* glyph) {
  auto found = slots_.find(glyph);
  if (found != slots_.end()) return found->second;
  const int w = glyph->width, h = glyph->height;
  Slot slot{0, 0, false};
  if (x_ + w + 1 > kSide) {
    x_ = 0;
    y_ += rowHeight_ + 1;
    rowHeight_ = 0;
  }
  if (w + 1 <= kSide && y_ + h + 1 <= kSide) {
    slot = Slot{x_, y_, true};
    for (int row = 0; row < h; ++row)
      std::copy(glyph->coverage + row * w, glyph->coverage + (row + 1) * w,
                pixels_.begin() + static_cast<size_t>(y_ + row) * kSide + x_);
    dirtyY0_ = std::min(dirtyY0_, y_);
    dirtyY1_ = std::max(dirtyY1_, y_ + h);
    x_ += w + 1;
    rowHeight_ = std::max(rowHeight_, h);
  }
  slots_.emplace(glyph, slot);
  return slot;
}

void GlyphAtlas::UploadChangedRows() {
  if (dirtyY1_ <= dirtyY0_) return;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, dirtyY0_, kSide, dirtyY1_ - dirtyY0_, GL_RED, GL_UNSIGNED_BYTE,
                  pixels_.data() + static_cast<size_t>(dirtyY0_) * kSide);
  dirtyY0_ = kSide;
  dirtyY1_ = 0;
}

}  // namespace vxd2d
