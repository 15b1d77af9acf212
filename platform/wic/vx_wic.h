// Internals of the imaging family (SDL2_image backend), shared by its files
// and reachable from tests without going through the COM runtime.
#pragma once
#include <wincodec.h>

// The imaging factory behind CLSID_WICImagingFactory and ...Factory2.
HRESULT VxCreateWicImagingFactory(REFIID iid, void** object);

// Decodes the file at a UTF-8 path (already in this system's form) and hands
// back a decoder holding its first frame.
HRESULT VxWicDecodeFile(const char* path, IWICBitmapDecoder** decoder);

HRESULT VxCreateWicFormatConverter(IWICFormatConverter** converter);

// Largest side accepted, checked against the header before any decoding;
// it also caps an image at 256 M pixels (1 GiB as BGRA).
constexpr unsigned kVxWicMaxSide = 16384;

// Bytes per pixel of the formats this family reads or writes; 0 for others.
unsigned VxWicBytesPerPixel(REFWICPixelFormatGUID format);

// The argument checks every CopyPixels shares. On success *area is the
// rectangle to copy (the whole image for a null rect); S_FALSE means the
// rectangle is empty and there is nothing to write.
HRESULT VxWicCheckCopy(const WICRect* rect, UINT width, UINT height, unsigned bytesPerPixel, UINT stride,
                       UINT bufferSize, const BYTE* buffer, WICRect* area);
