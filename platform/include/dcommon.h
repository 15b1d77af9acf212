// Vexalon's Linux stand-in for <dcommon.h>: types shared by Direct2D and DirectWrite.
#pragma once
#include <windows.h>

enum DWRITE_MEASURING_MODE {
  DWRITE_MEASURING_MODE_NATURAL = 0,
  DWRITE_MEASURING_MODE_GDI_CLASSIC = 1,
  DWRITE_MEASURING_MODE_GDI_NATURAL = 2,
};

enum DXGI_FORMAT {
  DXGI_FORMAT_UNKNOWN = 0,
  DXGI_FORMAT_R8G8B8A8_UNORM = 28,
  DXGI_FORMAT_B8G8R8A8_UNORM = 87,
};

enum D2D1_ALPHA_MODE {
  D2D1_ALPHA_MODE_UNKNOWN = 0,
  D2D1_ALPHA_MODE_PREMULTIPLIED = 1,
  D2D1_ALPHA_MODE_STRAIGHT = 2,
  D2D1_ALPHA_MODE_IGNORE = 3,
};

struct D2D1_PIXEL_FORMAT {
  DXGI_FORMAT format;
  D2D1_ALPHA_MODE alphaMode;
};
struct D2D_POINT_2F { FLOAT x, y; };
struct D2D_POINT_2U { UINT32 x, y; };
struct D2D_RECT_F { FLOAT left, top, right, bottom; };
struct D2D_RECT_U { UINT32 left, top, right, bottom; };
struct D2D_SIZE_F { FLOAT width, height; };
struct D2D_SIZE_U { UINT32 width, height; };
struct D2D_MATRIX_3X2_F { FLOAT _11, _12, _21, _22, _31, _32; };
struct D3DCOLORVALUE { FLOAT r, g, b, a; };
typedef D3DCOLORVALUE D2D_COLOR_F;
