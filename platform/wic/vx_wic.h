// Internals of the imaging family (libpng for PNG, SDL2_image for BMP and
// JPEG), shared by its files and reachable from tests without going through
// the COM runtime.
#pragma once
#include <wincodec.h>

#include <cstddef>
#include <cstdint>
#include <memory>

// The imaging factory behind CLSID_WICImagingFactory and ...Factory2.
HRESULT VxCreateWicImagingFactory(REFIID iid, void** object);

// Reads the file at a UTF-8 path (already in this system's form), checks
// that it decodes, and hands back a decoder holding its first frame. The
// frame keeps the file's bytes, not its pixels: it decodes on CopyPixels.
// A refusal is also written to stderr as one line naming the file and why.
HRESULT VxWicDecodeFile(const char* path, IWICBitmapDecoder** decoder);

HRESULT VxCreateWicFormatConverter(IWICFormatConverter** converter);

// Largest side and largest image accepted, checked against the header
// before any decoding: 64 M pixels are 256 MB as BGRA.
constexpr unsigned kVxWicMaxSide = 16384;
constexpr unsigned long long kVxWicMaxPixels = 64ull << 20;
// Largest file read: far above any image within the caps.
constexpr unsigned long long kVxWicMaxFileBytes = 256ull << 20;

// An image's rows in the frame's pixel format, decoded top to bottom.
class VxWicRows {
 public:
  virtual ~VxWicRows() = default;
  // Decodes the next row (width x bytes per pixel of the format) into out;
  // false when the data turns out bad.
  virtual bool Next(uint8_t* out) = 0;
};

struct VxWicImageInfo {
  UINT width = 0, height = 0;
  GUID format = GUID_NULL;
};

// Starts decoding a PNG held in memory (libpng): rows stream one at a time,
// with nothing held but the decoder's state (interlaced images excepted,
// which are decoded whole). Fills info. checked: the bytes have passed
// VxWicCheckPng and have not changed since, so checksums are skipped.
HRESULT VxWicOpenPngRows(const uint8_t* data, size_t size, bool checked, std::unique_ptr<VxWicRows>* rows,
                         VxWicImageInfo* info);

// Whether decoding every row of a PNG would succeed, found by inflating its
// image data once without unfiltering it (about half the cost of a decode,
// and no image in memory even for an interlaced file). Fills info.
HRESULT VxWicCheckPng(const uint8_t* data, size_t size, VxWicImageInfo* info);

// Decodes a BMP or JPEG held in memory whole (SDL2_image) and serves its rows.
HRESULT VxWicOpenSdlImageRows(const uint8_t* data, size_t size, bool jpeg, std::unique_ptr<VxWicRows>* rows,
                              VxWicImageInfo* info);

// How many times frames have started decoding from the top, for tests: a
// frame read band by band, top to bottom, starts once.
long VxWicDecodesStarted();

// Bytes per pixel of the formats this family reads or writes; 0 for others.
unsigned VxWicBytesPerPixel(REFWICPixelFormatGUID format);

// The argument checks every CopyPixels shares. On success *area is the
// rectangle to copy (the whole image for a null rect); S_FALSE means the
// rectangle is empty and there is nothing to write.
HRESULT VxWicCheckCopy(const WICRect* rect, UINT width, UINT height, unsigned bytesPerPixel, UINT stride,
                       UINT bufferSize, const BYTE* buffer, WICRect* area);
