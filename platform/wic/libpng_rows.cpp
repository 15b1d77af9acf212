// PNG rows with libpng, streamed from the file's bytes in memory: decoding
// holds libpng's state and one row, never the image (interlaced images,
// whose rows are only whole after the last pass, excepted). A file is
// checked once, when it is opened, by inflating its image data without
// unfiltering it; decodes of a checked file skip the checksums.
//
// libpng reports errors by longjmp. The functions that call into it keep no
// object with a destructor alive, so a jump out of them skips nothing.
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

#include "wic/vx_wic.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t n) {
  Input* in = static_cast<Input*>(png_get_io_ptr(png));
  if (n > in->size - in->pos) png_error(png, "truncated");
  std::memcpy(out, in->data + in->pos, n);
  in->pos += n;
}

// Failures become an HRESULT; nothing is printed.
void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

// A palette that is exactly the grey ramp 0..255: its indices are grey levels.
bool IsGreyRamp(png_structp png, png_infop info) {
  png_colorp palette = nullptr;
  int count = 0;
  if (png_get_PLTE(png, info, &palette, &count) != PNG_INFO_PLTE || count != 256) return false;
  for (int i = 0; i < 256; ++i) {
    if (palette[i].red != i || palette[i].green != i || palette[i].blue != i) return false;
  }
  return true;
}

struct Layout {
  png_uint_32 width, height;
  size_t rowBytes;
  int passes;
  GUID format;
  unsigned storedBits;  // bits a pixel as the file stores them
};

unsigned StoredBits(int depth, int color) {
  static const unsigned kChannels[] = {1, 0, 3, 1, 2, 0, 4};
  return depth * (color >= 0 && color <= 6 ? kChannels[color] : 0);
}

// A stored row of cols pixels: its filter byte, then the packed pixels.
size_t StoredRowBytes(png_uint_32 cols, unsigned bits) { return 1 + (size_t(cols) * bits + 7) / 8; }

// Reads the header chunks and sets the transforms that give the frame's
// format: 8-bit grey and 8-bit RGB stay as they are; everything with alpha,
// a colour key or a palette becomes straight BGRA.
bool Start(png_structp png, png_infop info, Layout* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  png_uint_32 w = 0, h = 0;
  int depth = 0, color = 0, interlace = 0;
  png_get_IHDR(png, info, &w, &h, &depth, &color, &interlace, nullptr, nullptr);
  const bool keyed = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  png_set_strip_16(png);
  if (color == PNG_COLOR_TYPE_PALETTE && depth == 8 && !keyed && IsGreyRamp(png, info)) {
    out->format = GUID_WICPixelFormat8bppGray;
  } else if (color == PNG_COLOR_TYPE_GRAY && !keyed) {
    png_set_expand_gray_1_2_4_to_8(png);
    out->format = GUID_WICPixelFormat8bppGray;
  } else if (color == PNG_COLOR_TYPE_RGB && !keyed) {
    out->format = GUID_WICPixelFormat24bppRGB;
  } else {
    png_set_expand(png);  // palette to RGB, grey to 8 bits, a colour key to alpha
    if (color == PNG_COLOR_TYPE_GRAY || color == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if (!(color & PNG_COLOR_MASK_ALPHA) && !keyed) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    out->format = GUID_WICPixelFormat32bppBGRA;
  }
  out->passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  out->width = w;
  out->height = h;
  out->rowBytes = png_get_rowbytes(png, info);
  out->storedBits = StoredBits(depth, color);
  return true;
}

bool ReadRow(png_structp png, uint8_t* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_row(png, out, nullptr);
  return true;
}

bool ReadWhole(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  return true;
}

// libpng over a file in memory, through its header chunks.
class PngReader {
 public:
  PngReader(const uint8_t* data, size_t size) : input_{data, size, 0} {}
  ~PngReader() { png_destroy_read_struct(&png_, &info_, nullptr); }

  // checked: the file has passed VxWicCheckPng, so its CRCs and the image
  // data's checksum need not be worked out again.
  HRESULT Open(bool checked, Layout* layout, VxWicImageInfo* info) {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (!png_) return E_OUTOFMEMORY;
    info_ = png_create_info_struct(png_);
    if (!info_) return E_OUTOFMEMORY;
    png_set_read_fn(png_, &input_, ReadFromMemory);
    png_set_user_limits(png_, kVxWicMaxSide, kVxWicMaxSide);
    if (checked) {
      // Ancillary chunks keep their checks: one with a bad CRC is dropped.
      png_set_crc_action(png_, PNG_CRC_QUIET_USE, PNG_CRC_DEFAULT);
      png_set_option(png_, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    }
    if (!Start(png_, info_, layout)) return WINCODEC_ERR_BADIMAGE;
    if (layout->rowBytes != size_t(layout->width) * VxWicBytesPerPixel(layout->format)) return WINCODEC_ERR_BADIMAGE;
    info->width = layout->width;
    info->height = layout->height;
    info->format = layout->format;
    return S_OK;
  }

 protected:
  Input input_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

class PngRows final : public VxWicRows, PngReader {
 public:
  using PngReader::PngReader;

  HRESULT Open(bool checked, VxWicImageInfo* info) {
    Layout layout{};
    HRESULT hr = PngReader::Open(checked, &layout, info);
    if (FAILED(hr)) return hr;
    rowBytes_ = layout.rowBytes;
    height_ = layout.height;
    if (layout.passes > 1) return ReadInterlaced();
    return S_OK;
  }

  bool Next(uint8_t* out) override {
    if (next_ >= height_) return false;
    if (!whole_.empty()) {
      std::memcpy(out, whole_.data() + size_t(next_) * rowBytes_, rowBytes_);
    } else if (!ReadRow(png_, out)) {
      return false;
    }
    ++next_;
    return true;
  }

 private:
  HRESULT ReadInterlaced() {
    std::vector<png_bytep> rows;
    try {
      whole_.resize(rowBytes_ * height_);
      rows.resize(height_);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    for (UINT y = 0; y < height_; ++y) rows[y] = whole_.data() + size_t(y) * rowBytes_;
    return ReadWhole(png_, rows.data()) ? S_OK : WINCODEC_ERR_BADIMAGE;
  }

  size_t rowBytes_ = 0;
  UINT height_ = 0, next_ = 0;
  std::vector<uint8_t> whole_;  // interlaced images only
};

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// The run of IDAT chunks from the first on. Each chunk is checked whole
// (present to its CRC, and the CRC right) when the stream enters it, as
// libpng refuses a cut or damaged chunk that it reads into.
class IdatRun {
 public:
  IdatRun(const uint8_t* data, size_t size, size_t at) : data_(data), size_(size), at_(at) {}

  // Feeds the next chunk's data to z; false where the image data cannot go
  // on: the file ends, the next chunk is no IDAT, or it is damaged.
  bool Next(z_stream* z) {
    for (;;) {
      if (size_ - at_ < 8) return false;
      const uint8_t* type = data_ + at_ + 4;
      const uint32_t length = Be32(data_ + at_);
      if (length > PNG_UINT_31_MAX || std::memcmp(type, "IDAT", 4) != 0) return false;
      if (size_ - at_ - 8 < size_t(length) + 4) return false;
      if (crc32(crc32(0L, Z_NULL, 0), type, uInt(length) + 4) != Be32(type + 4 + length)) return false;
      at_ += size_t(length) + 12;
      if (length == 0) continue;
      z->next_in = const_cast<Bytef*>(type + 4);
      z->avail_in = uInt(length);
      return true;
    }
  }

 private:
  const uint8_t* data_;
  size_t size_, at_;
};

// The image data as libpng reads it, without unfiltering: every row whole
// with a known filter type, then the rest of the stream up to its end.
class Inflater {
 public:
  Inflater(const uint8_t* data, size_t size, size_t firstIdat) : run_(data, size, firstIdat) {}
  ~Inflater() {
    if (ready_) inflateEnd(&z_);
  }
  HRESULT Init() {
    if (inflateInit2(&z_, 0) != Z_OK) return E_OUTOFMEMORY;  // window size from the stream's header
    ready_ = true;
    return S_OK;
  }

  bool Row(uint8_t* out, size_t n) {
    z_.next_out = out;
    z_.avail_out = uInt(n);
    while (z_.avail_out > 0) {
      if (ended_ || !Step()) return false;
    }
    return out[0] <= PNG_FILTER_VALUE_PAETH;
  }

  // After the last row: what is left of the stream, its checksum included.
  // A stream that goes wrong here costs no pixels and is forgiven, but the
  // chunks it reads into must still be whole.
  bool Finish() {
    uint8_t sink[4096];
    while (!ended_) {
      z_.next_out = sink;
      z_.avail_out = sizeof sink;
      if (!Step()) return !feedFailed_;
    }
    return true;
  }

 private:
  bool Step() {
    if (z_.avail_in == 0 && !run_.Next(&z_)) {
      feedFailed_ = true;
      return false;
    }
    const int r = inflate(&z_, Z_NO_FLUSH);
    if (r == Z_STREAM_END) ended_ = true;
    return r == Z_OK || r == Z_STREAM_END;
  }

  IdatRun run_;
  z_stream z_{};
  bool ready_ = false, ended_ = false, feedFailed_ = false;
};

// The rows of each pass as the file stores them, filter byte included.
template <class Fn>
bool ForEachStoredRow(const Layout& layout, bool interlaced, Fn&& fn) {
  for (int pass = 0; pass < (interlaced ? 7 : 1); ++pass) {
    const png_uint_32 cols = interlaced ? PNG_PASS_COLS(layout.width, pass) : layout.width;
    const png_uint_32 rows = interlaced ? PNG_PASS_ROWS(layout.height, pass) : layout.height;
    if (cols == 0) continue;
    const size_t bytes = StoredRowBytes(cols, layout.storedBits);
    for (png_uint_32 y = 0; y < rows; ++y) {
      if (!fn(bytes)) return false;
    }
  }
  return true;
}

class PngCheck : PngReader {
 public:
  using PngReader::PngReader;

  HRESULT Run(VxWicImageInfo* info) {
    Layout layout{};
    HRESULT hr = Open(false, &layout, info);
    if (FAILED(hr)) return hr;
    // libpng stops reading the header chunks just past the first IDAT's length and type.
    if (input_.pos < 8) return WINCODEC_ERR_BADIMAGE;
    const bool interlaced = png_get_interlace_type(png_, info_) != PNG_INTERLACE_NONE;
    std::vector<uint8_t> row;
    try {
      row.resize(StoredRowBytes(layout.width, layout.storedBits));
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    Inflater stream(input_.data, input_.size, input_.pos - 8);
    hr = stream.Init();
    if (FAILED(hr)) return hr;
    const bool rowsOk = ForEachStoredRow(layout, interlaced, [&](size_t bytes) { return stream.Row(row.data(), bytes); });
    return rowsOk && stream.Finish() ? S_OK : WINCODEC_ERR_BADIMAGE;
  }
};

}  // namespace

HRESULT VxWicOpenPngRows(const uint8_t* data, size_t size, bool checked, std::unique_ptr<VxWicRows>* rows,
                         VxWicImageInfo* info) {
  std::unique_ptr<PngRows> made(new (std::nothrow) PngRows(data, size));
  if (!made) return E_OUTOFMEMORY;
  HRESULT hr = made->Open(checked, info);
  if (FAILED(hr)) return hr;
  *rows = std::move(made);
  return S_OK;
}

HRESULT VxWicCheckPng(const uint8_t* data, size_t size, VxWicImageInfo* info) {
  PngCheck check(data, size);
  return check.Run(info);
}
