// One drawing call as the renderer's shaders take it: an instance of a quad
// with its shape kind, geometry and paint. The one definition of its layout:
// the frame stream fills it with the setters below, the batching reads it by
// the indices below, and the shaders get every number here as #defines
// (ShaderDefines).
#pragma once
#include <d2d1.h>

#include <string>

namespace vxd2d {

// Shape kinds: the low bits of `kind`.
enum : int {
  kLine = 0,
  kRectFill = 1,
  kRectStroke = 2,
  kEllipseFill = 3,
  kEllipseStroke = 4,
  kRoundedStroke = 5,
  kSprite = 6,
  kGlyph = 7,
  kShapeCount = 8,
  kShapeMask = 15,
};

// Flags above the shape bits; a gradient's extend mode (D2D1_EXTEND_MODE)
// sits at kExtendShift.
enum : int { kGradient = 16, kAliased = 32, kNearest = 64, kExtendShift = 8, kExtendMask = 3 };

// A line end's cap, as a line's g1 holds it. Triangle caps draw as round.
enum : int { kCapFlat = 0, kCapSquare = 1, kCapRound = 2 };

// What each field holds, by shape kind (user space, before the transform):
//
//   kLine            g0 = start x, start y, end x, end y
//                    g1 = half width, start cap, end cap, half length
//   kRectFill,       g0 = centre x, centre y, half width, half height
//   kRectStroke      g1 = half stroke width (0 for the fill), 0, 0, 0
//   kEllipseFill,    g0 = centre x, centre y, radius x, radius y (never 0)
//   kEllipseStroke   g1 = half stroke width (0 for the fill), 0, 0, 0
//   kRoundedStroke   g0 = centre x, centre y, half width, half height
//                    g1 = half stroke width, corner radius x, corner radius y, 0
//   kSprite          g0 = destination centre x, y, half width, half height
//                    g1 = source left, top, right, bottom, in the bitmap's pixels
//   kGlyph           g0 = centre x, y, half width, half height
//                    g1 = the glyph's left, top, right, bottom in the atlas
//
//   col   solid paint: the colour, premultiplied
//         kGradient:   t = col.x * x + col.y * y + col.z along the stops, col.w the opacity
//         kSprite:     the opacity, four times
//   kind  shape | flags, as a float
struct Instance {
  float g0[4];
  float g1[4];
  float col[4];
  float kind;
};
static_assert(sizeof(Instance) == 52, "instance layout is shared with the vertex shader");

// Indices into g0 and g1, for the readers.
enum : int { kLineX0 = 0, kLineY0 = 1, kLineX1 = 2, kLineY1 = 3 };                           // line g0
enum : int { kLineHalfWidth = 0, kLineStartCap = 1, kLineEndCap = 2, kLineHalfLength = 3 };  // line g1
enum : int { kBoxCentreX = 0, kBoxCentreY = 1, kBoxHalfX = 2, kBoxHalfY = 3 };               // g0 of the rest
constexpr int kOutlineHalfStroke = 0;  // g1 of the rectangles, ellipses and rounded rectangles

inline int ShapeOf(int kind) { return kind & kShapeMask; }
inline bool Textured(int shape) { return shape == kSprite || shape == kGlyph; }

inline void Set(float* v, float a, float b, float c, float d) {
  v[0] = a;
  v[1] = b;
  v[2] = c;
  v[3] = d;
}

inline void SetLine(Instance* in, float x0, float y0, float x1, float y1, float halfWidth, float startCap,
                    float endCap, float halfLength) {
  Set(in->g0, x0, y0, x1, y1);
  Set(in->g1, halfWidth, startCap, endCap, halfLength);
}

// Rectangles, ellipses (the half sizes are the radii) and rounded rectangles.
inline void SetOutline(Instance* in, float cx, float cy, float halfX, float halfY, float halfStroke,
                       float radiusX = 0, float radiusY = 0) {
  Set(in->g0, cx, cy, halfX, halfY);
  Set(in->g1, halfStroke, radiusX, radiusY, 0);
}

// Sprites and glyphs: where they go, and the rectangle of texels they show.
inline void SetTextured(Instance* in, float cx, float cy, float halfX, float halfY, float left, float top,
                        float right, float bottom) {
  Set(in->g0, cx, cy, halfX, halfY);
  Set(in->g1, left, top, right, bottom);
}

// A program is compiled per mask: bits 1 << shape for the shapes, then
// nearest sprites, gradients, aliased.
constexpr int kMaskNearest = 1 << kShapeCount, kMaskGradient = kMaskNearest << 1, kMaskAliased = kMaskGradient << 1;
constexpr int kMaskBits = kShapeCount + 3;

inline int MaskOf(int kind) {
  int shape = ShapeOf(kind);
  int mask = (shape == kSprite && (kind & kNearest)) ? kMaskNearest : 1 << shape;
  if (kind & kGradient) mask |= kMaskGradient;
  if (kind & kAliased) mask |= kMaskAliased;
  return mask;
}

// The names the shaders know the numbers above by.
struct ShaderName {
  const char* name;
  int value;
};
constexpr ShaderName kShapeNames[kShapeCount] = {
    {"LINE", kLine},
    {"RECT_FILL", kRectFill},
    {"RECT_STROKE", kRectStroke},
    {"ELLIPSE_FILL", kEllipseFill},
    {"ELLIPSE_STROKE", kEllipseStroke},
    {"ROUNDED_STROKE", kRoundedStroke},
    {"SPRITE", kSprite},
    {"GLYPH", kGlyph},
};
constexpr bool ShapeNamesInOrder() {
  for (int i = 0; i < kShapeCount; ++i)
    if (kShapeNames[i].value != i) return false;
  return true;
}
static_assert(ShapeNamesInOrder(), "kShapeNames names every shape kind at its number");

// "#define" lines for the shaders: SHAPE_<shape> for every kind (SHAPE_LINE
// ... SHAPE_GLYPH), SHAPE_MASK, FLAG_GRADIENT, FLAG_ALIASED, FLAG_NEAREST,
// EXTEND_SHIFT, EXTEND_MASK, EXTEND_WRAP, EXTEND_MIRROR, and CAP_FLAT,
// CAP_SQUARE and CAP_ROUND (floats, as g1 holds them); then HAS_<shape>,
// HAS_NEAREST, HAS_GRADIENT and HAS_ALIASED for the bits set in `mask`.
inline std::string ShaderDefines(int mask) {
  const ShaderName ints[] = {
      {"SHAPE_MASK", kShapeMask},
      {"FLAG_GRADIENT", kGradient},
      {"FLAG_ALIASED", kAliased},
      {"FLAG_NEAREST", kNearest},
      {"EXTEND_SHIFT", kExtendShift},
      {"EXTEND_MASK", kExtendMask},
      {"EXTEND_WRAP", D2D1_EXTEND_MODE_WRAP},
      {"EXTEND_MIRROR", D2D1_EXTEND_MODE_MIRROR},
  };
  const ShaderName floats[] = {{"CAP_FLAT", kCapFlat}, {"CAP_SQUARE", kCapSquare}, {"CAP_ROUND", kCapRound}};
  const ShaderName maskBits[] = {{"NEAREST", kMaskNearest}, {"GRADIENT", kMaskGradient}, {"ALIASED", kMaskAliased}};
  std::string out;
  auto define = [&out](const std::string& name, const std::string& value) {
    out += "#define " + name + (value.empty() ? "" : " " + value) + "\n";
  };
  for (const ShaderName& s : kShapeNames) define(std::string("SHAPE_") + s.name, std::to_string(s.value));
  for (const ShaderName& s : ints) define(s.name, std::to_string(s.value));
  for (const ShaderName& s : floats) define(s.name, std::to_string(s.value) + ".0");
  for (const ShaderName& s : kShapeNames)
    if (mask & (1 << s.value)) define(std::string("HAS_") + s.name, "");
  for (const ShaderName& s : maskBits)
    if (mask & s.value) define(std::string("HAS_") + s.name, "");
  return out;
}

}  // namespace vxd2d
