// The frame stream: a frame's drawing calls as shader instances, in the order
// they were made, in runs under one transform. What a frame draws with stays
// held until the next frame begins, so that a read-back can draw it again.
#pragma once
#include <d2d1.h>
#include <dwrite.h>

#include <vector>

#include "d2d/d2d_internal.h"
#include "d2d/gl_batch.h"
#include "d2d/gl_instance.h"
#include "d2d/glyph_atlas.h"

namespace vxd2d {

class FrameStream {
 public:
  explicit FrameStream(GlyphAtlas* atlas) : atlas_(atlas) {}
  ~FrameStream() { ReleaseHeld(); }
  FrameStream(const FrameStream&) = delete;
  FrameStream& operator=(const FrameStream&) = delete;

  void Reserve();
  // Starts a frame under the target's current transform.
  void Begin(const D2D1_MATRIX_3X2_F& transform);
  // Later instances run under this transform.
  void SetTransform(const D2D1_MATRIX_3X2_F& transform);
  // Drops what the last frame held.
  void ReleaseHeld();

  // Drawing calls. Brushes that are not ours draw nothing.
  void Clear(const D2D1_COLOR_F& color);
  void Line(D2D1_POINT_2F p0, D2D1_POINT_2F p1, ID2D1Brush* brush, float width, ID2D1StrokeStyle* stroke,
            bool aliased);
  void Rect(const D2D1_RECT_F& rect, ID2D1Brush* brush, float width, bool fill, bool aliased);
  void Rounded(const D2D1_ROUNDED_RECT& rounded, ID2D1Brush* brush, float width, bool aliased);
  void Ellipse(const D2D1_ELLIPSE& ellipse, ID2D1Brush* brush, float width, bool fill, bool aliased);
  void Bitmap(vxd2d::Bitmap* bitmap, const D2D1_RECT_F& destination, float opacity,
              D2D1_BITMAP_INTERPOLATION_MODE mode, const D2D1_RECT_F* source, bool aliased);
  void Text(const WCHAR* text, UINT32 length, IDWriteTextFormat* format, const D2D1_RECT_F& layout,
            ID2D1Brush* brush, bool aliased);

  const std::vector<Segment>& segments() const { return segments_; }
  const std::vector<Instance>& instances() const { return instances_; }
  const std::vector<ID2D1Resource*>& owners() const { return owners_; }

 private:
  Instance* Push(ID2D1Resource* owner);
  Instance* Shape(ID2D1Brush* brush, int kind, bool aliased);

  GlyphAtlas* atlas_;
  D2D1_MATRIX_3X2_F transform_ = D2D1_MATRIX_3X2_F{1, 0, 0, 1, 0, 0};
  std::vector<Instance> instances_;
  std::vector<ID2D1Resource*> owners_;  // per instance
  std::vector<Segment> segments_;
  std::vector<ID2D1Resource*> held_;
  ID2D1Resource* lastHeld_ = nullptr;
  bool newSegment_ = true;
  std::vector<VxPlacedGlyph> glyphs_;
};

}  // namespace vxd2d
