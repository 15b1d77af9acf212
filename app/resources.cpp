// The Direct2D and DirectWrite resources: the target-dependent set, made by
// the paint path and remade after a lost target, and the set made once.
#include "app/shell.h"

ID2D1HwndRenderTarget* g_renderTarget = NULL;
ID2D1Bitmap* g_spriteBitmap = NULL;
ID2D1Bitmap* g_backgroundBitmap = NULL;
ID2D1SolidColorBrush* g_brush = NULL;
IDWriteTextFormat* g_largeTextFormat = NULL;
IDWriteTextFormat* g_smallTextFormat = NULL;
ID2D1StrokeStyle* g_roundStroke = NULL;

namespace {

template <class T> void ReleaseAndClear(T*& resource) {
  if (resource) {
    resource->Release();
    resource = NULL;
  }
}

}  // namespace

HRESULT CreateDeviceResources(HWND hwnd) {
  // With a target in place only what an earlier failure left missing is made,
  // so a paint never draws with a missing bitmap or brush.
  if (!g_renderTarget) {
    RECT rc = {0, 0, 0, 0};
    if (!GetClientRect(hwnd, &rc)) {
      HRESULT failure = HRESULT_FROM_WIN32(GetLastError());
      return FAILED(failure) ? failure : E_FAIL;
    }
    D2D1_SIZE_U size = D2D1::SizeU(rc.right - rc.left, rc.bottom - rc.top);
    HRESULT hr = g_d2dFactory->CreateHwndRenderTarget(
        D2D1::RenderTargetProperties(D2D1_RENDER_TARGET_TYPE_DEFAULT,
                                     D2D1::PixelFormat(DXGI_FORMAT_UNKNOWN, D2D1_ALPHA_MODE_UNKNOWN), 0.0f, 0.0f,
                                     D2D1_RENDER_TARGET_USAGE_NONE, D2D1_FEATURE_LEVEL_DEFAULT),
        D2D1::HwndRenderTargetProperties(hwnd, size, D2D1_PRESENT_OPTIONS_NONE), &g_renderTarget);
    if (FAILED(hr)) return hr;
  }
  HRESULT hr = S_OK;
  if (!g_spriteBitmap) {
    hr = CreateBitmapFromFrame(g_spriteFrame, g_renderTarget, &g_spriteBitmap);
    if (FAILED(hr)) return hr;
  }
  if (!g_backgroundBitmap) {
    hr = CreateBitmapFromFrame(g_backgroundFrame, g_renderTarget, &g_backgroundBitmap);
    if (FAILED(hr)) return hr;
  }
  if (!g_brush) {
    hr = g_renderTarget->CreateSolidColorBrush(D2D1::ColorF(0.0f, 0.0f, 0.0f, 1.0f), &g_brush);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

void DiscardDeviceResources() {
  ReleaseAndClear(g_renderTarget);
  ReleaseAndClear(g_brush);
  ReleaseAndClear(g_backgroundBitmap);
  ReleaseAndClear(g_spriteBitmap);
}

HRESULT CreateDeviceIndependentResources() {
  HRESULT hr = g_dwriteFactory->CreateTextFormat(L"メイリオ", NULL, DWRITE_FONT_WEIGHT_BLACK, DWRITE_FONT_STYLE_NORMAL,
                                                 DWRITE_FONT_STRETCH_EXTRA_EXPANDED, 56.0f, L"", &g_largeTextFormat);
  if (FAILED(hr)) return hr;
  hr = g_dwriteFactory->CreateTextFormat(L"メイリオ", NULL, DWRITE_FONT_WEIGHT_BOLD, DWRITE_FONT_STYLE_NORMAL,
                                         DWRITE_FONT_STRETCH_NORMAL, 16.0f, L"", &g_smallTextFormat);
  if (FAILED(hr)) return hr;
  hr = g_d2dFactory->CreateStrokeStyle(
      D2D1::StrokeStyleProperties(D2D1_CAP_STYLE_ROUND, D2D1_CAP_STYLE_ROUND, D2D1_CAP_STYLE_FLAT,
                                  D2D1_LINE_JOIN_MITER, 10.0f, D2D1_DASH_STYLE_SOLID, 0.0f),
      NULL, 0, &g_roundStroke);
  if (FAILED(hr)) return hr;
  return S_OK;
}

void DiscardDeviceIndependentResources() {
  // Released once at shutdown; the pointers keep their values.
  if (g_smallTextFormat) g_smallTextFormat->Release();
  if (g_largeTextFormat) g_largeTextFormat->Release();
  if (g_roundStroke) g_roundStroke->Release();
}
