// The glyph atlas: one 8-bit coverage picture holding every glyph a target
// has drawn, copied in once each and uploaded to its texture by changed rows.
#pragma once
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "internal/vx_text.h"

namespace vxd2d {

class GlyphAtlas {
 public:
  static constexpr int kSide = 2048;
  struct Slot {
    int x, y;
    bool ok;  // false: no room; the glyph stays undrawn until the atlas starts over
  };

  GlyphAtlas();
  // A full atlas starts over between frames; glyphs come back as they are drawn.
  void StartOverIfFull();
  // Where the glyph lies in the atlas, copying it in on first use.
  Slot Place(const VxGlyphBitmap* glyph);
  const uint8_t* pixels() const { return pixels_.data(); }
  // Uploads the rows changed since the last upload into the bound GL_R8
  // texture of kSide x kSide.
  void UploadChangedRows();

 private:
  std::vector<uint8_t> pixels_;
  std::unordered_map<const VxGlyphBitmap*, Slot> slots_;
  int x_ = 0, y_ = 0, rowHeight_ = 0;
  int dirtyY0_ = kSide, dirtyY1_ = 0;
};

}  // namespace vxd2d
