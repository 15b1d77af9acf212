// Image loading: the files are decoded once at start-up; bitmaps are made
// from the kept frames whenever the render target is (re)made.
#include "app/shell.h"

IWICImagingFactory* g_wicFactory = NULL;

namespace {

// WicCleanup balances only an initialisation that took place.
bool g_wicComInitialized = false;

}  // namespace

HRESULT WicStartup() {
  g_wicComInitialized = SUCCEEDED(CoInitialize(NULL));
  return CoCreateInstance(CLSID_WICImagingFactory2, NULL, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&g_wicFactory));
}

void WicCleanup() {
  if (g_wicFactory) g_wicFactory->Release();
  g_wicFactory = NULL;
  if (g_wicComInitialized) CoUninitialize();
  g_wicComInitialized = false;
}

void LoadImageFrame(LPCWSTR path, IWICBitmapFrameDecode** frame) {
  IWICBitmapDecoder* decoder = NULL;
  HRESULT hr = g_wicFactory->CreateDecoderFromFilename(path, NULL, GENERIC_READ, WICDecodeMetadataCacheOnLoad,
                                                       &decoder);
  if (FAILED(hr)) throw -1;
  hr = decoder->GetFrame(0, frame);
  decoder->Release();
  if (FAILED(hr)) throw -1;
}

HRESULT CreateBitmapFromFrame(IWICBitmapSource* frame, ID2D1RenderTarget* renderTarget, ID2D1Bitmap** bitmap) {
  IWICFormatConverter* converter = NULL;
  HRESULT hr = g_wicFactory->CreateFormatConverter(&converter);
  if (SUCCEEDED(hr)) {
    hr = converter->Initialize(frame, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, NULL, 0.0,
                               WICBitmapPaletteTypeMedianCut);
  }
  if (SUCCEEDED(hr)) hr = renderTarget->CreateBitmapFromWicBitmap(converter, NULL, bitmap);
  if (converter) converter->Release();
  return SUCCEEDED(hr) ? S_OK : hr;
}
