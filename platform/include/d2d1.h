// Vexalon's Linux stand-in for <d2d1.h>: the Direct2D subset the game draws
// with. Implemented on OpenGL 3.3 in platform/d2d. Colour channels above 1.0
// are legal and kept until a pixel is written.
#pragma once
#include <windows.h>
#include <dcommon.h>

struct IWICBitmapSource;
struct IDWriteTextFormat;

typedef D2D_POINT_2F D2D1_POINT_2F;
typedef D2D_POINT_2U D2D1_POINT_2U;
typedef D2D_RECT_F D2D1_RECT_F;
typedef D2D_RECT_U D2D1_RECT_U;
typedef D2D_SIZE_F D2D1_SIZE_F;
typedef D2D_SIZE_U D2D1_SIZE_U;
typedef D2D_MATRIX_3X2_F D2D1_MATRIX_3X2_F;
typedef D2D_COLOR_F D2D1_COLOR_F;
typedef UINT64 D2D1_TAG;

#define D2DERR_RECREATE_TARGET VX_HR(0x8899000Cu)
#define D2DERR_WRONG_STATE VX_HR(0x88990001u)
#define D2DERR_NOT_INITIALIZED VX_HR(0x88990002u)
#define D2DERR_UNSUPPORTED_PIXEL_FORMAT VX_HR(0x88982F80u)
#define D2DERR_MAX_TEXTURE_SIZE_EXCEEDED VX_HR(0x8899000Fu)

enum D2D1_FACTORY_TYPE { D2D1_FACTORY_TYPE_SINGLE_THREADED = 0, D2D1_FACTORY_TYPE_MULTI_THREADED = 1 };
enum D2D1_DEBUG_LEVEL { D2D1_DEBUG_LEVEL_NONE = 0, D2D1_DEBUG_LEVEL_ERROR = 1, D2D1_DEBUG_LEVEL_WARNING = 2, D2D1_DEBUG_LEVEL_INFORMATION = 3 };
struct D2D1_FACTORY_OPTIONS { D2D1_DEBUG_LEVEL debugLevel; };

enum D2D1_RENDER_TARGET_TYPE { D2D1_RENDER_TARGET_TYPE_DEFAULT = 0, D2D1_RENDER_TARGET_TYPE_SOFTWARE = 1, D2D1_RENDER_TARGET_TYPE_HARDWARE = 2 };
enum D2D1_RENDER_TARGET_USAGE { D2D1_RENDER_TARGET_USAGE_NONE = 0, D2D1_RENDER_TARGET_USAGE_FORCE_BITMAP_REMOTING = 1, D2D1_RENDER_TARGET_USAGE_GDI_COMPATIBLE = 2 };
enum D2D1_FEATURE_LEVEL { D2D1_FEATURE_LEVEL_DEFAULT = 0, D2D1_FEATURE_LEVEL_9 = 0x9100, D2D1_FEATURE_LEVEL_10 = 0xa000 };
enum D2D1_PRESENT_OPTIONS { D2D1_PRESENT_OPTIONS_NONE = 0, D2D1_PRESENT_OPTIONS_RETAIN_CONTENTS = 1, D2D1_PRESENT_OPTIONS_IMMEDIATELY = 2 };
enum D2D1_CAP_STYLE { D2D1_CAP_STYLE_FLAT = 0, D2D1_CAP_STYLE_SQUARE = 1, D2D1_CAP_STYLE_ROUND = 2, D2D1_CAP_STYLE_TRIANGLE = 3 };
enum D2D1_LINE_JOIN { D2D1_LINE_JOIN_MITER = 0, D2D1_LINE_JOIN_BEVEL = 1, D2D1_LINE_JOIN_ROUND = 2, D2D1_LINE_JOIN_MITER_OR_BEVEL = 3 };
enum D2D1_DASH_STYLE { D2D1_DASH_STYLE_SOLID = 0, D2D1_DASH_STYLE_DASH = 1, D2D1_DASH_STYLE_DOT = 2, D2D1_DASH_STYLE_DASH_DOT = 3, D2D1_DASH_STYLE_DASH_DOT_DOT = 4, D2D1_DASH_STYLE_CUSTOM = 5 };
enum D2D1_BITMAP_INTERPOLATION_MODE { D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR = 0, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR = 1 };
enum D2D1_DRAW_TEXT_OPTIONS { D2D1_DRAW_TEXT_OPTIONS_NONE = 0, D2D1_DRAW_TEXT_OPTIONS_NO_SNAP = 1, D2D1_DRAW_TEXT_OPTIONS_CLIP = 2 };
enum D2D1_GAMMA { D2D1_GAMMA_2_2 = 0, D2D1_GAMMA_1_0 = 1 };
enum D2D1_EXTEND_MODE { D2D1_EXTEND_MODE_CLAMP = 0, D2D1_EXTEND_MODE_WRAP = 1, D2D1_EXTEND_MODE_MIRROR = 2 };
enum D2D1_WINDOW_STATE { D2D1_WINDOW_STATE_NONE = 0, D2D1_WINDOW_STATE_OCCLUDED = 1 };
enum D2D1_ANTIALIAS_MODE { D2D1_ANTIALIAS_MODE_PER_PRIMITIVE = 0, D2D1_ANTIALIAS_MODE_ALIASED = 1 };

struct D2D1_RENDER_TARGET_PROPERTIES {
  D2D1_RENDER_TARGET_TYPE type;
  D2D1_PIXEL_FORMAT pixelFormat;
  FLOAT dpiX;
  FLOAT dpiY;
  D2D1_RENDER_TARGET_USAGE usage;
  D2D1_FEATURE_LEVEL minLevel;
};
struct D2D1_HWND_RENDER_TARGET_PROPERTIES {
  HWND hwnd;
  D2D1_SIZE_U pixelSize;
  D2D1_PRESENT_OPTIONS presentOptions;
};
struct D2D1_STROKE_STYLE_PROPERTIES {
  D2D1_CAP_STYLE startCap;
  D2D1_CAP_STYLE endCap;
  D2D1_CAP_STYLE dashCap;
  D2D1_LINE_JOIN lineJoin;
  FLOAT miterLimit;
  D2D1_DASH_STYLE dashStyle;
  FLOAT dashOffset;
};
struct D2D1_BRUSH_PROPERTIES {
  FLOAT opacity;
  D2D1_MATRIX_3X2_F transform;
};
struct D2D1_BITMAP_PROPERTIES {
  D2D1_PIXEL_FORMAT pixelFormat;
  FLOAT dpiX;
  FLOAT dpiY;
};
struct D2D1_GRADIENT_STOP {
  FLOAT position;
  D2D1_COLOR_F color;
};
struct D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES {
  D2D1_POINT_2F startPoint;
  D2D1_POINT_2F endPoint;
};
struct D2D1_ELLIPSE {
  D2D1_POINT_2F point;
  FLOAT radiusX;
  FLOAT radiusY;
};
struct D2D1_ROUNDED_RECT {
  D2D1_RECT_F rect;
  FLOAT radiusX;
  FLOAT radiusY;
};

VX_DEFINE_UUID(ID2D1Resource, 0x56455801, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x01);
VX_DEFINE_UUID(ID2D1Factory, 0x56455801, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x02);
VX_DEFINE_UUID(ID2D1RenderTarget, 0x56455801, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x03);
VX_DEFINE_UUID(ID2D1HwndRenderTarget, 0x56455801, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x04);
VX_DEFINE_UUID(ID2D1Brush, 0x56455801, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x05);
VX_DEFINE_UUID(ID2D1SolidColorBrush, 0x56455801, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x06);
VX_DEFINE_UUID(ID2D1LinearGradientBrush, 0x56455801, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x07);
VX_DEFINE_UUID(ID2D1GradientStopCollection, 0x56455801, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x08);
VX_DEFINE_UUID(ID2D1StrokeStyle, 0x56455801, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x09);
VX_DEFINE_UUID(ID2D1Bitmap, 0x56455801, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x0a);

struct ID2D1Factory;

struct ID2D1Resource : public IUnknown {
  virtual void STDMETHODCALLTYPE GetFactory(ID2D1Factory** factory) const = 0;
};

struct ID2D1StrokeStyle : public ID2D1Resource {
  virtual D2D1_CAP_STYLE STDMETHODCALLTYPE GetStartCap() const = 0;
  virtual D2D1_CAP_STYLE STDMETHODCALLTYPE GetEndCap() const = 0;
  virtual D2D1_CAP_STYLE STDMETHODCALLTYPE GetDashCap() const = 0;
  virtual FLOAT STDMETHODCALLTYPE GetMiterLimit() const = 0;
  virtual D2D1_LINE_JOIN STDMETHODCALLTYPE GetLineJoin() const = 0;
  virtual FLOAT STDMETHODCALLTYPE GetDashOffset() const = 0;
  virtual D2D1_DASH_STYLE STDMETHODCALLTYPE GetDashStyle() const = 0;
};

struct ID2D1Bitmap : public ID2D1Resource {
  virtual D2D1_SIZE_F STDMETHODCALLTYPE GetSize() const = 0;
  virtual D2D1_SIZE_U STDMETHODCALLTYPE GetPixelSize() const = 0;
  virtual D2D1_PIXEL_FORMAT STDMETHODCALLTYPE GetPixelFormat() const = 0;
  virtual void STDMETHODCALLTYPE GetDpi(FLOAT* dpiX, FLOAT* dpiY) const = 0;
};

struct ID2D1Brush : public ID2D1Resource {
  virtual void STDMETHODCALLTYPE SetOpacity(FLOAT opacity) = 0;
  virtual void STDMETHODCALLTYPE SetTransform(const D2D1_MATRIX_3X2_F* transform) = 0;
  virtual FLOAT STDMETHODCALLTYPE GetOpacity() const = 0;
  virtual void STDMETHODCALLTYPE GetTransform(D2D1_MATRIX_3X2_F* transform) const = 0;
  void SetTransform(const D2D1_MATRIX_3X2_F& transform) { SetTransform(&transform); }
};

struct ID2D1SolidColorBrush : public ID2D1Brush {
  virtual void STDMETHODCALLTYPE SetColor(const D2D1_COLOR_F* color) = 0;
  virtual D2D1_COLOR_F STDMETHODCALLTYPE GetColor() const = 0;
  void SetColor(const D2D1_COLOR_F& color) { SetColor(&color); }
};

struct ID2D1GradientStopCollection : public ID2D1Resource {
  virtual UINT32 STDMETHODCALLTYPE GetGradientStopCount() const = 0;
  virtual void STDMETHODCALLTYPE GetGradientStops(D2D1_GRADIENT_STOP* stops, UINT32 count) const = 0;
  virtual D2D1_GAMMA STDMETHODCALLTYPE GetColorInterpolationGamma() const = 0;
  virtual D2D1_EXTEND_MODE STDMETHODCALLTYPE GetExtendMode() const = 0;
};

struct ID2D1LinearGradientBrush : public ID2D1Brush {
  virtual void STDMETHODCALLTYPE SetStartPoint(D2D1_POINT_2F startPoint) = 0;
  virtual void STDMETHODCALLTYPE SetEndPoint(D2D1_POINT_2F endPoint) = 0;
  virtual D2D1_POINT_2F STDMETHODCALLTYPE GetStartPoint() const = 0;
  virtual D2D1_POINT_2F STDMETHODCALLTYPE GetEndPoint() const = 0;
  virtual void STDMETHODCALLTYPE GetGradientStopCollection(ID2D1GradientStopCollection** collection) const = 0;
};

struct ID2D1RenderTarget : public ID2D1Resource {
  virtual HRESULT STDMETHODCALLTYPE CreateBitmapFromWicBitmap(IWICBitmapSource* wicBitmapSource,
                                                              const D2D1_BITMAP_PROPERTIES* bitmapProperties,
                                                              ID2D1Bitmap** bitmap) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateSolidColorBrush(const D2D1_COLOR_F* color,
                                                          const D2D1_BRUSH_PROPERTIES* brushProperties,
                                                          ID2D1SolidColorBrush** solidColorBrush) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateGradientStopCollection(const D2D1_GRADIENT_STOP* gradientStops,
                                                                 UINT32 gradientStopsCount,
                                                                 D2D1_GAMMA colorInterpolationGamma,
                                                                 D2D1_EXTEND_MODE extendMode,
                                                                 ID2D1GradientStopCollection** collection) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateLinearGradientBrush(
      const D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES* linearGradientBrushProperties,
      const D2D1_BRUSH_PROPERTIES* brushProperties, ID2D1GradientStopCollection* gradientStopCollection,
      ID2D1LinearGradientBrush** linearGradientBrush) = 0;
  virtual void STDMETHODCALLTYPE DrawLine(D2D1_POINT_2F point0, D2D1_POINT_2F point1, ID2D1Brush* brush,
                                          FLOAT strokeWidth = 1.0f, ID2D1StrokeStyle* strokeStyle = NULL) = 0;
  virtual void STDMETHODCALLTYPE DrawRectangle(const D2D1_RECT_F* rect, ID2D1Brush* brush, FLOAT strokeWidth = 1.0f,
                                               ID2D1StrokeStyle* strokeStyle = NULL) = 0;
  virtual void STDMETHODCALLTYPE FillRectangle(const D2D1_RECT_F* rect, ID2D1Brush* brush) = 0;
  virtual void STDMETHODCALLTYPE DrawRoundedRectangle(const D2D1_ROUNDED_RECT* roundedRect, ID2D1Brush* brush,
                                                      FLOAT strokeWidth = 1.0f,
                                                      ID2D1StrokeStyle* strokeStyle = NULL) = 0;
  virtual void STDMETHODCALLTYPE DrawEllipse(const D2D1_ELLIPSE* ellipse, ID2D1Brush* brush, FLOAT strokeWidth = 1.0f,
                                             ID2D1StrokeStyle* strokeStyle = NULL) = 0;
  virtual void STDMETHODCALLTYPE FillEllipse(const D2D1_ELLIPSE* ellipse, ID2D1Brush* brush) = 0;
  virtual void STDMETHODCALLTYPE DrawBitmap(
      ID2D1Bitmap* bitmap, const D2D1_RECT_F* destinationRectangle = NULL, FLOAT opacity = 1.0f,
      D2D1_BITMAP_INTERPOLATION_MODE interpolationMode = D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
      const D2D1_RECT_F* sourceRectangle = NULL) = 0;
  virtual void STDMETHODCALLTYPE DrawText(const WCHAR* string, UINT32 stringLength, IDWriteTextFormat* textFormat,
                                          const D2D1_RECT_F* layoutRect, ID2D1Brush* defaultForegroundBrush,
                                          D2D1_DRAW_TEXT_OPTIONS options = D2D1_DRAW_TEXT_OPTIONS_NONE,
                                          DWRITE_MEASURING_MODE measuringMode = DWRITE_MEASURING_MODE_NATURAL) = 0;
  virtual void STDMETHODCALLTYPE SetTransform(const D2D1_MATRIX_3X2_F* transform) = 0;
  virtual void STDMETHODCALLTYPE GetTransform(D2D1_MATRIX_3X2_F* transform) const = 0;
  virtual void STDMETHODCALLTYPE SetAntialiasMode(D2D1_ANTIALIAS_MODE antialiasMode) = 0;
  virtual D2D1_ANTIALIAS_MODE STDMETHODCALLTYPE GetAntialiasMode() const = 0;
  virtual void STDMETHODCALLTYPE Clear(const D2D1_COLOR_F* clearColor = NULL) = 0;
  virtual void STDMETHODCALLTYPE BeginDraw() = 0;
  virtual HRESULT STDMETHODCALLTYPE EndDraw(D2D1_TAG* tag1 = NULL, D2D1_TAG* tag2 = NULL) = 0;
  virtual D2D1_SIZE_F STDMETHODCALLTYPE GetSize() const = 0;
  virtual D2D1_SIZE_U STDMETHODCALLTYPE GetPixelSize() const = 0;

  // The by-reference conveniences of the real interface.
  HRESULT CreateBitmapFromWicBitmap(IWICBitmapSource* source, ID2D1Bitmap** bitmap) {
    return CreateBitmapFromWicBitmap(source, NULL, bitmap);
  }
  HRESULT CreateSolidColorBrush(const D2D1_COLOR_F& color, ID2D1SolidColorBrush** brush) {
    return CreateSolidColorBrush(&color, NULL, brush);
  }
  HRESULT CreateSolidColorBrush(const D2D1_COLOR_F& color, const D2D1_BRUSH_PROPERTIES& properties,
                                ID2D1SolidColorBrush** brush) {
    return CreateSolidColorBrush(&color, &properties, brush);
  }
  HRESULT CreateGradientStopCollection(const D2D1_GRADIENT_STOP* stops, UINT32 count,
                                       ID2D1GradientStopCollection** collection) {
    return CreateGradientStopCollection(stops, count, D2D1_GAMMA_2_2, D2D1_EXTEND_MODE_CLAMP, collection);
  }
  HRESULT CreateLinearGradientBrush(const D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES& properties,
                                    ID2D1GradientStopCollection* stops, ID2D1LinearGradientBrush** brush) {
    return CreateLinearGradientBrush(&properties, NULL, stops, brush);
  }
  HRESULT CreateLinearGradientBrush(const D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES& properties,
                                    const D2D1_BRUSH_PROPERTIES& brushProperties, ID2D1GradientStopCollection* stops,
                                    ID2D1LinearGradientBrush** brush) {
    return CreateLinearGradientBrush(&properties, &brushProperties, stops, brush);
  }
  void DrawRectangle(const D2D1_RECT_F& rect, ID2D1Brush* brush, FLOAT strokeWidth = 1.0f,
                     ID2D1StrokeStyle* strokeStyle = NULL) {
    DrawRectangle(&rect, brush, strokeWidth, strokeStyle);
  }
  void FillRectangle(const D2D1_RECT_F& rect, ID2D1Brush* brush) { FillRectangle(&rect, brush); }
  void DrawRoundedRectangle(const D2D1_ROUNDED_RECT& roundedRect, ID2D1Brush* brush, FLOAT strokeWidth = 1.0f,
                            ID2D1StrokeStyle* strokeStyle = NULL) {
    DrawRoundedRectangle(&roundedRect, brush, strokeWidth, strokeStyle);
  }
  void DrawEllipse(const D2D1_ELLIPSE& ellipse, ID2D1Brush* brush, FLOAT strokeWidth = 1.0f,
                   ID2D1StrokeStyle* strokeStyle = NULL) {
    DrawEllipse(&ellipse, brush, strokeWidth, strokeStyle);
  }
  void FillEllipse(const D2D1_ELLIPSE& ellipse, ID2D1Brush* brush) { FillEllipse(&ellipse, brush); }
  void DrawBitmap(ID2D1Bitmap* bitmap, const D2D1_RECT_F& destinationRectangle, FLOAT opacity = 1.0f,
                  D2D1_BITMAP_INTERPOLATION_MODE interpolationMode = D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                  const D2D1_RECT_F* sourceRectangle = NULL) {
    DrawBitmap(bitmap, &destinationRectangle, opacity, interpolationMode, sourceRectangle);
  }
  void DrawBitmap(ID2D1Bitmap* bitmap, const D2D1_RECT_F& destinationRectangle, FLOAT opacity,
                  D2D1_BITMAP_INTERPOLATION_MODE interpolationMode, const D2D1_RECT_F& sourceRectangle) {
    DrawBitmap(bitmap, &destinationRectangle, opacity, interpolationMode, &sourceRectangle);
  }
  void DrawText(const WCHAR* string, UINT32 stringLength, IDWriteTextFormat* textFormat,
                const D2D1_RECT_F& layoutRect, ID2D1Brush* defaultForegroundBrush,
                D2D1_DRAW_TEXT_OPTIONS options = D2D1_DRAW_TEXT_OPTIONS_NONE,
                DWRITE_MEASURING_MODE measuringMode = DWRITE_MEASURING_MODE_NATURAL) {
    DrawText(string, stringLength, textFormat, &layoutRect, defaultForegroundBrush, options, measuringMode);
  }
  void SetTransform(const D2D1_MATRIX_3X2_F& transform) { SetTransform(&transform); }
  void Clear(const D2D1_COLOR_F& clearColor) { Clear(&clearColor); }
};

struct ID2D1HwndRenderTarget : public ID2D1RenderTarget {
  virtual D2D1_WINDOW_STATE STDMETHODCALLTYPE CheckWindowState() = 0;
  virtual HRESULT STDMETHODCALLTYPE Resize(const D2D1_SIZE_U* pixelSize) = 0;
  virtual HWND STDMETHODCALLTYPE GetHwnd() const = 0;
  HRESULT Resize(const D2D1_SIZE_U& pixelSize) { return Resize(&pixelSize); }
};

struct ID2D1Factory : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ReloadSystemMetrics() = 0;
  virtual void STDMETHODCALLTYPE GetDesktopDpi(FLOAT* dpiX, FLOAT* dpiY) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateStrokeStyle(const D2D1_STROKE_STYLE_PROPERTIES* strokeStyleProperties,
                                                      const FLOAT* dashes, UINT32 dashesCount,
                                                      ID2D1StrokeStyle** strokeStyle) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateHwndRenderTarget(
      const D2D1_RENDER_TARGET_PROPERTIES* renderTargetProperties,
      const D2D1_HWND_RENDER_TARGET_PROPERTIES* hwndRenderTargetProperties,
      ID2D1HwndRenderTarget** hwndRenderTarget) = 0;

  HRESULT CreateStrokeStyle(const D2D1_STROKE_STYLE_PROPERTIES& properties, const FLOAT* dashes, UINT32 dashesCount,
                            ID2D1StrokeStyle** strokeStyle) {
    return CreateStrokeStyle(&properties, dashes, dashesCount, strokeStyle);
  }
  HRESULT CreateHwndRenderTarget(const D2D1_RENDER_TARGET_PROPERTIES& renderTargetProperties,
                                 const D2D1_HWND_RENDER_TARGET_PROPERTIES& hwndRenderTargetProperties,
                                 ID2D1HwndRenderTarget** hwndRenderTarget) {
    return CreateHwndRenderTarget(&renderTargetProperties, &hwndRenderTargetProperties, hwndRenderTarget);
  }
};

HRESULT WINAPI D2D1CreateFactory(D2D1_FACTORY_TYPE factoryType, REFIID riid,
                                 const D2D1_FACTORY_OPTIONS* factoryOptions, void** factory);
void WINAPI D2D1MakeRotateMatrix(FLOAT angle, D2D1_POINT_2F center, D2D1_MATRIX_3X2_F* matrix);

template <class Factory>
HRESULT D2D1CreateFactory(D2D1_FACTORY_TYPE factoryType, Factory** factory) {
  return D2D1CreateFactory(factoryType, __uuidof(Factory), NULL, reinterpret_cast<void**>(factory));
}
template <class Factory>
HRESULT D2D1CreateFactory(D2D1_FACTORY_TYPE factoryType, const D2D1_FACTORY_OPTIONS& options, Factory** factory) {
  return D2D1CreateFactory(factoryType, __uuidof(Factory), &options, reinterpret_cast<void**>(factory));
}

#include <d2d1helper.h>
