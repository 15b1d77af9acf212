#include "d2d/glyph_atlas.h"

#include <epoxy/gl.h>

#include <algorithm>

namespace vxd2d {

GlyphAtlas::GlyphAtlas() {
  slots_.reserve(1024);
  toUpload_.reserve(256);
}

void GlyphAtlas::StartOverIfFull() {
  if (y_ <= kSide * 3 / 4) return;
  slots_.clear();
  toUpload_.clear();
  x_ = y_ = rowHeight_ = 0;
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
    toUpload_.push_back(Placed{glyph, slot});
    x_ += w + 1;
    rowHeight_ = std::max(rowHeight_, h);
  }
  slots_.emplace(glyph, slot);
  return slot;
}

void GlyphAtlas::UploadPlaced() {
  if (toUpload_.empty()) return;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (const Placed& p : toUpload_) {
    glTexSubImage2D(GL_TEXTURE_2D, 0, p.slot.x, p.slot.y, p.glyph->width, p.glyph->height, GL_RED,
                    GL_UNSIGNED_BYTE, p.glyph->coverage);
  }
  toUpload_.clear();
}

}  // namespace vxd2d
