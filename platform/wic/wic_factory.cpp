// The imaging factory: decoders from file names and format converters.
#include <climits>
#include <new>
#include <string>

#include "vx_com.h"
#include "vx_support.h"
#include "wic/vx_wic.h"

namespace {

class ImagingFactory : public VxComObject<IWICImagingFactory> {
 public:
  HRESULT STDMETHODCALLTYPE CreateDecoderFromFilename(LPCWSTR filename, const GUID* /*vendor*/,
                                                      DWORD desiredAccess, WICDecodeOptions metadataOptions,
                                                      IWICBitmapDecoder** decoder) override {
    if (!decoder) return E_INVALIDARG;
    *decoder = nullptr;
    if (!filename || !*filename) return E_INVALIDARG;
    // Decoding needs read access; the metadata policy changes nothing here
    // because no metadata is ever read.
    if (!(desiredAccess & GENERIC_READ)) return E_INVALIDARG;
    if (metadataOptions != WICDecodeMetadataCacheOnDemand && metadataOptions != WICDecodeMetadataCacheOnLoad) {
      return E_INVALIDARG;
    }
    return VxWicDecodeFile(VxPathToUtf8(filename).c_str(), decoder);
  }

  HRESULT STDMETHODCALLTYPE CreateFormatConverter(IWICFormatConverter** converter) override {
    return VxCreateWicFormatConverter(converter);
  }
};

}  // namespace

HRESULT VxCreateWicImagingFactory(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  ImagingFactory* factory = new (std::nothrow) ImagingFactory();
  if (!factory) return E_OUTOFMEMORY;
  HRESULT hr = factory->QueryInterface(iid, object);
  factory->Release();
  return hr;
}

unsigned VxWicBytesPerPixel(REFWICPixelFormatGUID format) {
  if (format == GUID_WICPixelFormat8bppGray || format == GUID_WICPixelFormat8bppIndexed) return 1;
  if (format == GUID_WICPixelFormat24bppRGB) return 3;
  if (format == GUID_WICPixelFormat32bppBGRA || format == GUID_WICPixelFormat32bppPBGRA ||
      format == GUID_WICPixelFormat32bppRGBA) {
    return 4;
  }
  return 0;
}

HRESULT VxWicCheckCopy(const WICRect* rect, UINT width, UINT height, unsigned bytesPerPixel, UINT stride,
                       UINT bufferSize, const BYTE* buffer, WICRect* area) {
  WICRect whole = {0, 0, INT(width), INT(height)};
  if (rect) {
    // Compared in 64 bits so that X + Width cannot wrap.
    long long right = (long long)rect->X + rect->Width, bottom = (long long)rect->Y + rect->Height;
    if (rect->X < 0 || rect->Y < 0 || rect->Width < 0 || rect->Height < 0 || right > width || bottom > height) {
      return E_INVALIDARG;
    }
    whole = *rect;
  }
  *area = whole;
  if (whole.Width == 0 || whole.Height == 0) return S_FALSE;
  if (!buffer) return E_INVALIDARG;
  unsigned long long rowBytes = (unsigned long long)whole.Width * bytesPerPixel;
  if (stride < rowBytes) return E_INVALIDARG;
  unsigned long long needed = (unsigned long long)stride * (unsigned long long)(whole.Height - 1) + rowBytes;
  if (bufferSize < needed) return WINCODEC_ERR_INSUFFICIENTBUFFER;
  return S_OK;
}
