#include "d2d/gl_stream.h"

#include <algorithm>
#include <cmath>

#include "vx_text.h"

namespace vxd2d {
namespace {

// The brush as the instance's colour and kind flags; false for brushes not ours.
bool Paint(ID2D1Brush* brush, Instance* inst, int* kind, ID2D1Resource** owner) {
  if (auto* solid = OurObject<SolidBrush>(brush)) {
    const D2D1_COLOR_F& c = solid->color_;
    float a = c.a * solid->opacity_;
    inst->col[0] = c.r * a;
    inst->col[1] = c.g * a;
    inst->col[2] = c.b * a;
    inst->col[3] = a;
    *owner = nullptr;
    return true;
  }
  if (auto* gradient = OurObject<LinearGradientBrush>(brush)) {
    gradient->Parameter(&inst->col[0], &inst->col[1], &inst->col[2]);
    inst->col[3] = gradient->GetOpacity();
    *kind |= kGradient | (static_cast<int>(gradient->stops()->GetExtendMode()) << kExtendShift);
    *owner = gradient->stops();
    return true;
  }
  return false;
}

float CapCode(D2D1_CAP_STYLE cap) {
  switch (cap) {
    case D2D1_CAP_STYLE_FLAT: return kCapFlat;
    case D2D1_CAP_STYLE_SQUARE: return kCapSquare;
    default: return kCapRound;
  }
}

}  // namespace

void FrameStream::Reserve() {
  instances_.reserve(1 << 15);
  segments_.reserve(256);
  owners_.reserve(1 << 15);
  held_.reserve(64);
  glyphs_.reserve(256);
}

void FrameStream::Begin(const D2D1_MATRIX_3X2_F& transform) {
  ReleaseHeld();
  instances_.clear();
  owners_.clear();
  segments_.clear();
  transform_ = transform;
  newSegment_ = true;
  lastHeld_ = nullptr;
}

void FrameStream::SetTransform(const D2D1_MATRIX_3X2_F& transform) {
  transform_ = transform;
  newSegment_ = true;
}

void FrameStream::ReleaseHeld() {
  for (ID2D1Resource* r : held_) r->Release();
  held_.clear();
}

Instance* FrameStream::Push(ID2D1Resource* owner) {
  if (newSegment_ || segments_.empty() || segments_.back().clear) {
    segments_.push_back(Segment{false, {0, 0, 0, 0}, instances_.size(), 0, transform_});
    newSegment_ = false;
  }
  if (owner && owner != lastHeld_) {
    owner->AddRef();
    held_.push_back(owner);
    lastHeld_ = owner;
  }
  ++segments_.back().count;
  owners_.push_back(owner);
  instances_.emplace_back();
  return &instances_.back();
}

Instance* FrameStream::Shape(ID2D1Brush* brush, int kind, bool aliased) {
  Instance scratch;
  ID2D1Resource* owner = nullptr;
  if (!Paint(brush, &scratch, &kind, &owner)) return nullptr;
  if (aliased) kind |= kAliased;
  Instance* inst = Push(owner);
  std::copy(scratch.col, scratch.col + 4, inst->col);
  inst->kind = static_cast<float>(kind);
  return inst;
}

void FrameStream::Clear(const D2D1_COLOR_F& color) {
  segments_.push_back(
      Segment{true, {color.r * color.a, color.g * color.a, color.b * color.a, color.a}, 0, 0, transform_});
  newSegment_ = true;
}

void FrameStream::Line(D2D1_POINT_2F p0, D2D1_POINT_2F p1, ID2D1Brush* brush, float width,
                       ID2D1StrokeStyle* stroke, bool aliased) {
  float startCap = CapCode(stroke ? stroke->GetStartCap() : D2D1_CAP_STYLE_FLAT);
  float endCap = CapCode(stroke ? stroke->GetEndCap() : D2D1_CAP_STYLE_FLAT);
  Instance* inst = Shape(brush, kLine, aliased);
  if (!inst) return;
  float dx = p1.x - p0.x, dy = p1.y - p0.y;
  SetLine(inst, p0.x, p0.y, p1.x, p1.y, 0.5f * std::fabs(width), startCap, endCap,
          0.5f * std::sqrt(dx * dx + dy * dy));
}

void FrameStream::Rect(const D2D1_RECT_F& r, ID2D1Brush* brush, float width, bool fill, bool aliased) {
  Instance* inst = Shape(brush, fill ? kRectFill : kRectStroke, aliased);
  if (!inst) return;
  SetOutline(inst, 0.5f * (r.left + r.right), 0.5f * (r.top + r.bottom), 0.5f * std::fabs(r.right - r.left),
             0.5f * std::fabs(r.bottom - r.top), fill ? 0.0f : 0.5f * std::fabs(width));
}

void FrameStream::Rounded(const D2D1_ROUNDED_RECT& rr, ID2D1Brush* brush, float width, bool aliased) {
  Instance* inst = Shape(brush, kRoundedStroke, aliased);
  if (!inst) return;
  const D2D1_RECT_F& r = rr.rect;
  SetOutline(inst, 0.5f * (r.left + r.right), 0.5f * (r.top + r.bottom), 0.5f * std::fabs(r.right - r.left),
             0.5f * std::fabs(r.bottom - r.top), 0.5f * std::fabs(width), std::fabs(rr.radiusX),
             std::fabs(rr.radiusY));
}

void FrameStream::Ellipse(const D2D1_ELLIPSE& e, ID2D1Brush* brush, float width, bool fill, bool aliased) {
  Instance* inst = Shape(brush, fill ? kEllipseFill : kEllipseStroke, aliased);
  if (!inst) return;
  // A zero radius would divide by zero in the distance estimate.
  SetOutline(inst, e.point.x, e.point.y, std::max(std::fabs(e.radiusX), 1e-3f), std::max(std::fabs(e.radiusY), 1e-3f),
             fill ? 0.0f : 0.5f * std::fabs(width));
}

void FrameStream::Bitmap(vxd2d::Bitmap* bitmap, const D2D1_RECT_F& dest, float opacity,
                         D2D1_BITMAP_INTERPOLATION_MODE mode, const D2D1_RECT_F* source, bool aliased) {
  float dpiX, dpiY;
  bitmap->GetDpi(&dpiX, &dpiY);
  const float toPxX = dpiX / 96.0f, toPxY = dpiY / 96.0f;
  const float bw = static_cast<float>(bitmap->width()), bh = static_cast<float>(bitmap->height());
  D2D1_RECT_F src = source ? D2D1_RECT_F{source->left * toPxX, source->top * toPxY, source->right * toPxX,
                                         source->bottom * toPxY}
                           : D2D1_RECT_F{0, 0, bw, bh};
  float sw = src.right - src.left, sh = src.bottom - src.top;
  float dw = dest.right - dest.left, dh = dest.bottom - dest.top;
  if (!(sw > 0.0f && sh > 0.0f && dw > 0.0f && dh > 0.0f)) return;
  // Only the part of the source inside the bitmap draws, where the whole
  // source would have put it.
  D2D1_RECT_F clipped{std::max(src.left, 0.0f), std::max(src.top, 0.0f), std::min(src.right, bw),
                      std::min(src.bottom, bh)};
  if (!(clipped.right > clipped.left && clipped.bottom > clipped.top)) return;
  const float kx = dw / sw, ky = dh / sh;
  D2D1_RECT_F d{dest.left + (clipped.left - src.left) * kx, dest.top + (clipped.top - src.top) * ky,
                dest.left + (clipped.right - src.left) * kx, dest.top + (clipped.bottom - src.top) * ky};
  Instance* inst = Push(bitmap);
  SetTextured(inst, 0.5f * (d.left + d.right), 0.5f * (d.top + d.bottom), 0.5f * (d.right - d.left),
              0.5f * (d.bottom - d.top), clipped.left, clipped.top, clipped.right, clipped.bottom);
  float o = std::min(1.0f, std::max(0.0f, opacity));
  Set(inst->col, o, o, o, o);
  int kind = kSprite;
  if (mode == D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR) kind |= kNearest;
  if (aliased) kind |= kAliased;
  inst->kind = static_cast<float>(kind);
}

void FrameStream::Text(const WCHAR* text, UINT32 length, IDWriteTextFormat* format, const D2D1_RECT_F& layout,
                       ID2D1Brush* brush, bool aliased) {
  glyphs_.clear();
  if (!VxLayoutText(format, text, length, layout, glyphs_)) return;
  for (const VxPlacedGlyph& g : glyphs_) {
    if (!g.glyph || g.glyph->width <= 0 || g.glyph->height <= 0) continue;
    GlyphAtlas::Slot slot = atlas_->Place(g.glyph);
    if (!slot.ok) continue;
    Instance* inst = Shape(brush, kGlyph, aliased);
    if (!inst) return;
    float hw = 0.5f * g.glyph->width, hh = 0.5f * g.glyph->height;
    SetTextured(inst, g.left + hw, g.top + hh, hw, hh, static_cast<float>(slot.x), static_cast<float>(slot.y),
                static_cast<float>(slot.x + g.glyph->width), static_cast<float>(slot.y + g.glyph->height));
  }
}

}  // namespace vxd2d
