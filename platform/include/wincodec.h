// Vexalon's Linux stand-in for <wincodec.h>: the imaging factory, decoders,
// frames and the format converter. Implemented on SDL2_image in platform/wic.
#pragma once
#include <windows.h>

typedef GUID WICPixelFormatGUID;
typedef const GUID& REFWICPixelFormatGUID;

struct WICRect { INT X, Y, Width, Height; };

enum WICDecodeOptions { WICDecodeMetadataCacheOnDemand = 0, WICDecodeMetadataCacheOnLoad = 1 };
enum WICBitmapDitherType {
  WICBitmapDitherTypeNone = 0,
  WICBitmapDitherTypeSolid = 0,
  WICBitmapDitherTypeOrdered4x4 = 1,
  WICBitmapDitherTypeErrorDiffusion = 8,
};
enum WICBitmapPaletteType {
  WICBitmapPaletteTypeCustom = 0,
  WICBitmapPaletteTypeMedianCut = 1,
  WICBitmapPaletteTypeFixedBW = 2,
  WICBitmapPaletteTypeFixedWebPalette = 7,
};

#define WINCODEC_ERR_GENERIC_ERROR E_FAIL
#define WINCODEC_ERR_WRONGSTATE VX_HR(0x88982F04u)
#define WINCODEC_ERR_VALUEOUTOFRANGE VX_HR(0x88982F05u)
#define WINCODEC_ERR_UNKNOWNIMAGEFORMAT VX_HR(0x88982F07u)
#define WINCODEC_ERR_NOTINITIALIZED VX_HR(0x88982F0Cu)
#define WINCODEC_ERR_FRAMEMISSING VX_HR(0x88982F62u)
#define WINCODEC_ERR_BADIMAGE VX_HR(0x88982F60u)
#define WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT VX_HR(0x88982F80u)
#define WINCODEC_ERR_COMPONENTNOTFOUND VX_HR(0x88982F50u)
#define WINCODEC_ERR_INSUFFICIENTBUFFER VX_HR(0x88982F8Cu)
#define WINCODEC_ERR_IMAGESIZEOUTOFRANGE VX_HR(0x88982F51u)

VX_DEFINE_GUID(CLSID_WICImagingFactory, 0x56455803, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0xf0);
VX_DEFINE_GUID(CLSID_WICImagingFactory2, 0x56455803, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0xf1);
VX_DEFINE_GUID(GUID_WICPixelFormat8bppIndexed, 0x56455803, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x21);
VX_DEFINE_GUID(GUID_WICPixelFormat8bppGray, 0x56455803, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x22);
VX_DEFINE_GUID(GUID_WICPixelFormat24bppRGB, 0x56455803, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x23);
VX_DEFINE_GUID(GUID_WICPixelFormat32bppBGRA, 0x56455803, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x24);
VX_DEFINE_GUID(GUID_WICPixelFormat32bppPBGRA, 0x56455803, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x25);
VX_DEFINE_GUID(GUID_WICPixelFormat32bppRGBA, 0x56455803, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x26);

VX_DEFINE_UUID(IWICImagingFactory, 0x56455803, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x01);
VX_DEFINE_UUID(IWICBitmapSource, 0x56455803, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x02);
VX_DEFINE_UUID(IWICBitmapFrameDecode, 0x56455803, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x03);
VX_DEFINE_UUID(IWICBitmapDecoder, 0x56455803, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x04);
VX_DEFINE_UUID(IWICFormatConverter, 0x56455803, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x05);
VX_DEFINE_UUID(IWICPalette, 0x56455803, 0x2d00, 0x4d01, 0x80, 0x00, 0x56, 0x45, 0x58, 0x41, 0x4c, 0x06);

// Palettes are never built by the game (it passes null); declared for signatures.
struct IWICPalette : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetColorCount(UINT* count) = 0;
};

struct IWICBitmapSource : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* pixelFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetResolution(double* dpiX, double* dpiY) = 0;
  virtual HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) = 0;
  // Copies the rectangle (the whole image when null) row by row, stride bytes apart.
  virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer) = 0;
};

struct IWICBitmapFrameDecode : public IWICBitmapSource {};

struct IWICBitmapDecoder : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetFrameCount(UINT* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFrame(UINT index, IWICBitmapFrameDecode** frame) = 0;
};

struct IWICFormatConverter : public IWICBitmapSource {
  virtual HRESULT STDMETHODCALLTYPE Initialize(IWICBitmapSource* source, REFWICPixelFormatGUID dstFormat,
                                               WICBitmapDitherType dither, IWICPalette* palette,
                                               double alphaThresholdPercent,
                                               WICBitmapPaletteType paletteTranslate) = 0;
  virtual HRESULT STDMETHODCALLTYPE CanConvert(REFWICPixelFormatGUID srcFormat, REFWICPixelFormatGUID dstFormat,
                                               BOOL* canConvert) = 0;
};

struct IWICImagingFactory : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateDecoderFromFilename(LPCWSTR filename, const GUID* vendor,
                                                              DWORD desiredAccess, WICDecodeOptions metadataOptions,
                                                              IWICBitmapDecoder** decoder) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateFormatConverter(IWICFormatConverter** converter) = 0;
};
