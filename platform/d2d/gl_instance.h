// One drawing call as the renderer's shaders take it: an instance of a quad
// with its shape kind, geometry and paint. Shared by the frame stream, the
// batching and the shaders.
#pragma once

namespace vxd2d {

// Shape kinds and flags, shared with the shaders.
enum : int {
  kLine = 0,
  kRectFill = 1,
  kRectStroke = 2,
  kEllipseFill = 3,
  kEllipseStroke = 4,
  kRoundedStroke = 5,
  kSprite = 6,
  kGlyph = 7,
  kGradient = 16,
  kAliased = 32,
  kNearest = 64,
  kExtendShift = 8,
};

struct Instance {
  float g0[4];
  float g1[4];
  float col[4];
  float kind;
};
static_assert(sizeof(Instance) == 52, "instance layout is shared with the vertex shader");

// A program is compiled per mask: bits 1 << shape for shapes 0..7, then
// nearest sprites, gradients, aliased.
constexpr int kMaskNearest = 1 << 8, kMaskGradient = 1 << 9, kMaskAliased = 1 << 10;
constexpr int kMaskBits = 11;

inline int MaskOf(int kind) {
  int shape = kind & 15;
  int mask = (shape == kSprite && (kind & kNearest)) ? kMaskNearest : 1 << shape;
  if (kind & kGradient) mask |= kMaskGradient;
  if (kind & kAliased) mask |= kMaskAliased;
  return mask;
}

inline void Set(float* v, float a, float b, float c, float d) {
  v[0] = a;
  v[1] = b;
  v[2] = c;
  v[3] = d;
}

}  // namespace vxd2d
