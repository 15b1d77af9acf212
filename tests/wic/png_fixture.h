// Writes small PNG files byte by byte (zlib for the image data), so the
// decoder tests can make every colour type and every kind of damage.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vxtest {

struct PngDesc {
  uint32_t width = 0, height = 0;
  uint8_t bitDepth = 8;
  uint8_t colorType = 6;          // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
  std::vector<uint8_t> rows;      // unfiltered scanlines, packed, no filter bytes
  std::vector<uint8_t> palette;   // PLTE: r,g,b triples
  std::vector<uint8_t> trns;      // tRNS as stored in the file
  bool interlaced = false;        // Adam7; bit depths of 8 and 16 only
};

// The whole file; the IHDR fields are written as given, unchecked.
std::vector<uint8_t> EncodePng(const PngDesc& desc);

// Its parts: the signature and the chunks before the image data; the image
// data before compression (each stored row behind filter type 0); zlib's
// compression; one chunk with its length and CRC.
std::vector<uint8_t> PngHead(const PngDesc& desc);
std::vector<uint8_t> PngScanlines(const PngDesc& desc);
std::vector<uint8_t> Deflate(const std::vector<uint8_t>& raw);
void Chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data);

// A PNG whose IHDR claims width x height but carries only a tiny IDAT.
std::vector<uint8_t> PngHeaderOnly(uint32_t width, uint32_t height);

// A file of exactly fileSize bytes whose IHDR claims width x height (8-bit,
// of the colour type and interlacing given) and whose IDAT holds only the
// start of the image data, rows of zeros, cut short; CRCs all correct.
std::vector<uint8_t> PngCutShort(uint32_t width, uint32_t height, uint8_t colorType, bool interlaced,
                                 size_t fileSize);

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace vxtest
