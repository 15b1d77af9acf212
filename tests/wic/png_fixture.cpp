#include "png_fixture.h"

#include <zlib.h>

#include <cstdio>

namespace vxtest {
namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v >> 24));
  out.push_back(uint8_t(v >> 16));
  out.push_back(uint8_t(v >> 8));
  out.push_back(uint8_t(v));
}

uint32_t BitsPerPixel(const PngDesc& s) {
  static const int channels[] = {1, 0, 3, 1, 2, 0, 4};
  return uint32_t(channels[s.colorType <= 6 ? s.colorType : 1]) * s.bitDepth;
}

}  // namespace

void Chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  Put32(out, uint32_t(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0L, out.data() + start, uInt(out.size() - start));
  Put32(out, uint32_t(crc));
}

std::vector<uint8_t> PngHead(const PngDesc& desc) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  std::vector<uint8_t> ihdr;
  Put32(ihdr, desc.width);
  Put32(ihdr, desc.height);
  ihdr.insert(ihdr.end(), {desc.bitDepth, desc.colorType, 0, 0, uint8_t(desc.interlaced ? 1 : 0)});
  Chunk(out, "IHDR", ihdr);
  if (!desc.palette.empty()) Chunk(out, "PLTE", desc.palette);
  if (!desc.trns.empty()) Chunk(out, "tRNS", desc.trns);
  return out;
}

std::vector<uint8_t> PngScanlines(const PngDesc& desc) {
  size_t rowBytes = (size_t(desc.width) * BitsPerPixel(desc) + 7) / 8;
  auto byteAt = [&](size_t at) { return at < desc.rows.size() ? desc.rows[at] : uint8_t(0); };
  std::vector<uint8_t> raw;
  if (desc.interlaced) {
    // Adam7: seven reduced images, each pixel taken whole from the rows.
    static const int kPass[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    const size_t pixelBytes = BitsPerPixel(desc) / 8;
    for (const auto& p : kPass) {
      if (uint32_t(p[0]) >= desc.width || uint32_t(p[1]) >= desc.height) continue;
      for (uint32_t y = p[1]; y < desc.height; y += p[3]) {
        raw.push_back(0);
        for (uint32_t x = p[0]; x < desc.width; x += p[2]) {
          for (size_t b = 0; b < pixelBytes; ++b) raw.push_back(byteAt(y * rowBytes + x * pixelBytes + b));
        }
      }
    }
  } else {
    for (uint32_t y = 0; y < desc.height; ++y) {
      raw.push_back(0);
      for (size_t i = 0; i < rowBytes; ++i) raw.push_back(byteAt(y * rowBytes + i));
    }
  }
  return raw;
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& raw) {
  uLongf packedSize = compressBound(uLong(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  compress(packed.data(), &packedSize, raw.data(), uLong(raw.size()));
  packed.resize(packedSize);
  return packed;
}

std::vector<uint8_t> EncodePng(const PngDesc& desc) {
  std::vector<uint8_t> out = PngHead(desc);
  Chunk(out, "IDAT", Deflate(PngScanlines(desc)));
  Chunk(out, "IEND", {});
  return out;
}

std::vector<uint8_t> PngHeaderOnly(uint32_t width, uint32_t height) {
  PngDesc desc;
  desc.width = 1;
  desc.height = 1;
  desc.rows = {0, 0, 0, 0};
  std::vector<uint8_t> bytes = EncodePng(desc);
  // Patch the claimed size into IHDR and fix its CRC, so only the size is wrong.
  for (int i = 0; i < 4; ++i) {
    bytes[16 + i] = uint8_t(width >> (24 - 8 * i));
    bytes[20 + i] = uint8_t(height >> (24 - 8 * i));
  }
  uLong crc = crc32(0L, bytes.data() + 12, 17);
  for (int i = 0; i < 4; ++i) bytes[29 + i] = uint8_t(crc >> (24 - 8 * i));
  return bytes;
}

std::vector<uint8_t> PngCutShort(uint32_t width, uint32_t height, uint8_t colorType, bool interlaced,
                                 size_t fileSize) {
  PngDesc desc;
  desc.colorType = colorType;
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  std::vector<uint8_t> ihdr;
  Put32(ihdr, width);
  Put32(ihdr, height);
  ihdr.insert(ihdr.end(), {8, colorType, 0, 0, uint8_t(interlaced ? 1 : 0)});
  Chunk(out, "IHDR", ihdr);
  const size_t framing = 12 + 12;  // the IDAT's and IEND's length, type and CRC
  const size_t want = fileSize > out.size() + framing ? fileSize - out.size() - framing : 0;
  // Zero rows deflate about a thousand to one: compress until there is enough.
  std::vector<uint8_t> packed(want + 64), zeros(size_t(width) * BitsPerPixel(desc) / 8 + 1, 0);
  z_stream z{};
  deflateInit(&z, 9);
  z.next_out = packed.data();
  z.avail_out = uInt(packed.size());
  while (z.avail_out > 0 && z.total_in < (uLong(1) << 30)) {
    z.next_in = zeros.data();
    z.avail_in = uInt(zeros.size());
    deflate(&z, Z_NO_FLUSH);
  }
  deflateEnd(&z);
  packed.resize(want);
  Chunk(out, "IDAT", packed);
  Chunk(out, "IEND", {});
  return out;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace vxtest
