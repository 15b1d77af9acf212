// PNG rows with libpng, streamed from the file's bytes in memory: decoding
// holds libpng's state and one row, never the image (interlaced images,
// whose rows are only whole after the last pass, excepted).
//
// libpng reports errors by longjmp. The functions that call into it keep no
// object with a destructor alive, so a jump out of them skips nothing.
#include <png.h>

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
};

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

class PngRows final : public VxWicRows {
 public:
  PngRows(const uint8_t* data, size_t size) : input_{data, size, 0} {}
  ~PngRows() override { png_destroy_read_struct(&png_, &info_, nullptr); }

  HRESULT Open(VxWicImageInfo* info) {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (!png_) return E_OUTOFMEMORY;
    info_ = png_create_info_struct(png_);
    if (!info_) return E_OUTOFMEMORY;
    png_set_read_fn(png_, &input_, ReadFromMemory);
    png_set_user_limits(png_, kVxWicMaxSide, kVxWicMaxSide);
    Layout layout{};
    if (!Start(png_, info_, &layout)) return WINCODEC_ERR_BADIMAGE;
    if (layout.rowBytes != size_t(layout.width) * VxWicBytesPerPixel(layout.format)) return WINCODEC_ERR_BADIMAGE;
    info->width = layout.width;
    info->height = layout.height;
    info->format = layout.format;
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

  Input input_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  size_t rowBytes_ = 0;
  UINT height_ = 0, next_ = 0;
  std::vector<uint8_t> whole_;  // interlaced images only
};

}  // namespace

HRESULT VxWicOpenPngRows(const uint8_t* data, size_t size, std::unique_ptr<VxWicRows>* rows,
                         VxWicImageInfo* info) {
  std::unique_ptr<PngRows> made(new (std::nothrow) PngRows(data, size));
  if (!made) return E_OUTOFMEMORY;
  HRESULT hr = made->Open(info);
  if (FAILED(hr)) return hr;
  *rows = std::move(made);
  return S_OK;
}
