// Vexalon's Linux stand-in for <d2d1helper.h>: the D2D1:: value builders.
#pragma once
#include <d2d1.h>
#include <cmath>

namespace D2D1 {

inline D2D1_POINT_2F Point2F(FLOAT x = 0.0f, FLOAT y = 0.0f) { return D2D1_POINT_2F{x, y}; }
inline D2D1_SIZE_F SizeF(FLOAT width = 0.0f, FLOAT height = 0.0f) { return D2D1_SIZE_F{width, height}; }
inline D2D1_SIZE_U SizeU(UINT32 width = 0, UINT32 height = 0) { return D2D1_SIZE_U{width, height}; }
inline D2D1_RECT_F RectF(FLOAT left = 0.0f, FLOAT top = 0.0f, FLOAT right = 0.0f, FLOAT bottom = 0.0f) {
  return D2D1_RECT_F{left, top, right, bottom};
}
inline D2D1_ELLIPSE Ellipse(const D2D1_POINT_2F& center, FLOAT radiusX, FLOAT radiusY) {
  return D2D1_ELLIPSE{center, radiusX, radiusY};
}
inline D2D1_ROUNDED_RECT RoundedRect(const D2D1_RECT_F& rect, FLOAT radiusX, FLOAT radiusY) {
  return D2D1_ROUNDED_RECT{rect, radiusX, radiusY};
}
inline D2D1_PIXEL_FORMAT PixelFormat(DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN,
                                     D2D1_ALPHA_MODE alphaMode = D2D1_ALPHA_MODE_UNKNOWN) {
  return D2D1_PIXEL_FORMAT{format, alphaMode};
}
inline D2D1_RENDER_TARGET_PROPERTIES RenderTargetProperties(
    D2D1_RENDER_TARGET_TYPE type = D2D1_RENDER_TARGET_TYPE_DEFAULT,
    const D2D1_PIXEL_FORMAT& pixelFormat = PixelFormat(), FLOAT dpiX = 0.0f, FLOAT dpiY = 0.0f,
    D2D1_RENDER_TARGET_USAGE usage = D2D1_RENDER_TARGET_USAGE_NONE,
    D2D1_FEATURE_LEVEL minLevel = D2D1_FEATURE_LEVEL_DEFAULT) {
  return D2D1_RENDER_TARGET_PROPERTIES{type, pixelFormat, dpiX, dpiY, usage, minLevel};
}
inline D2D1_HWND_RENDER_TARGET_PROPERTIES HwndRenderTargetProperties(
    HWND hwnd, D2D1_SIZE_U pixelSize = SizeU(0, 0),
    D2D1_PRESENT_OPTIONS presentOptions = D2D1_PRESENT_OPTIONS_NONE) {
  return D2D1_HWND_RENDER_TARGET_PROPERTIES{hwnd, pixelSize, presentOptions};
}
inline D2D1_STROKE_STYLE_PROPERTIES StrokeStyleProperties(
    D2D1_CAP_STYLE startCap = D2D1_CAP_STYLE_FLAT, D2D1_CAP_STYLE endCap = D2D1_CAP_STYLE_FLAT,
    D2D1_CAP_STYLE dashCap = D2D1_CAP_STYLE_FLAT, D2D1_LINE_JOIN lineJoin = D2D1_LINE_JOIN_MITER,
    FLOAT miterLimit = 10.0f, D2D1_DASH_STYLE dashStyle = D2D1_DASH_STYLE_SOLID, FLOAT dashOffset = 0.0f) {
  return D2D1_STROKE_STYLE_PROPERTIES{startCap, endCap, dashCap, lineJoin, miterLimit, dashStyle, dashOffset};
}
inline D2D1_MATRIX_3X2_F IdentityMatrix() { return D2D1_MATRIX_3X2_F{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}; }
inline D2D1_BRUSH_PROPERTIES BrushProperties(FLOAT opacity = 1.0f,
                                             const D2D1_MATRIX_3X2_F& transform = IdentityMatrix()) {
  return D2D1_BRUSH_PROPERTIES{opacity, transform};
}
inline D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES LinearGradientBrushProperties(const D2D1_POINT_2F& startPoint,
                                                                           const D2D1_POINT_2F& endPoint) {
  return D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES{startPoint, endPoint};
}

class ColorF : public D2D1_COLOR_F {
 public:
  enum Enum {
    Black = 0x000000,
    Blue = 0x0000FF,
    Green = 0x008000,
    Lime = 0x00FF00,
    Red = 0xFF0000,
    White = 0xFFFFFF,
    Yellow = 0xFFFF00,
  };
  ColorF(UINT32 rgb, FLOAT a = 1.0f) { Init(rgb, a); }
  ColorF(Enum knownColor, FLOAT a = 1.0f) { Init(static_cast<UINT32>(knownColor), a); }
  ColorF(FLOAT red, FLOAT green, FLOAT blue, FLOAT alpha = 1.0f) {
    r = red;
    g = green;
    b = blue;
    a = alpha;
  }

 private:
  void Init(UINT32 rgb, FLOAT alpha) {
    r = static_cast<FLOAT>((rgb >> 16) & 0xFF) / 255.0f;
    g = static_cast<FLOAT>((rgb >> 8) & 0xFF) / 255.0f;
    b = static_cast<FLOAT>(rgb & 0xFF) / 255.0f;
    a = alpha;
  }
};

class Matrix3x2F : public D2D1_MATRIX_3X2_F {
 public:
  Matrix3x2F() : D2D1_MATRIX_3X2_F{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f} {}
  Matrix3x2F(FLOAT m11, FLOAT m12, FLOAT m21, FLOAT m22, FLOAT dx, FLOAT dy)
      : D2D1_MATRIX_3X2_F{m11, m12, m21, m22, dx, dy} {}
  static Matrix3x2F Identity() { return Matrix3x2F(); }
  static Matrix3x2F Rotation(FLOAT angle, D2D1_POINT_2F center = Point2F()) {
    Matrix3x2F m;
    D2D1MakeRotateMatrix(angle, center, &m);
    return m;
  }
  static Matrix3x2F* ReinterpretBaseType(D2D1_MATRIX_3X2_F* m) { return static_cast<Matrix3x2F*>(m); }
  static const Matrix3x2F* ReinterpretBaseType(const D2D1_MATRIX_3X2_F* m) {
    return static_cast<const Matrix3x2F*>(m);
  }
  D2D1_POINT_2F TransformPoint(D2D1_POINT_2F p) const {
    return Point2F(p.x * _11 + p.y * _21 + _31, p.x * _12 + p.y * _22 + _32);
  }
};

}  // namespace D2D1
