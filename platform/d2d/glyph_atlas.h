// The glyph atlas: where each glyph a target has drawn lies in its 8-bit
// coverage texture. Glyphs go in once each, uploaded from the text layer's
// own cached rasters; no copy of the atlas is kept on this side.
#pragma once
#include <unordered_map>
#include <vector>

#include "vx_text.h"

namespace vxd2d {

class GlyphAtlas {
 public:
  static constexpr int kSide = 2048;
  struct Slot {
    int x, y;
    bool ok;  // false: no room; the glyph stays undrawn until the atlas starts over
  };

  GlyphAtlas();
  // A full atlas starts over between frames; glyphs come back as they are
  // drawn. Texels outside the slots in use are never sampled, so the
  // texture is not cleared.
  void StartOverIfFull();
  // Where the glyph lies in the atlas, placing it on first use.
  Slot Place(const VxGlyphBitmap* glyph);
  // Uploads the glyphs placed since the last upload into the bound GL_R8
  // texture of kSide x kSide.
  void UploadPlaced();

 private:
  struct Placed {
    const VxGlyphBitmap* glyph;
    Slot slot;
  };
  std::unordered_map<const VxGlyphBitmap*, Slot> slots_;
  std::vector<Placed> toUpload_;
  int x_ = 0, y_ = 0, rowHeight_ = 0;
};

}  // namespace vxd2d
