// Decoders and frames. A frame keeps its file's bytes, read once when the
// decoder is made, and decodes them on each CopyPixels: a file deleted or
// changed later cannot break a bitmap made again after a lost target, and no
// decoded copy of the image outlives the copy that needed it. Successive
// bands of rows continue the decode where the last band ended.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "vx_com.h"
#include "vx_support.h"
#include "wic/vx_wic.h"

namespace {

constexpr HRESULT kPaletteUnavailable = VX_HR(0x88982F45u);

std::atomic<long> g_decodesStarted{0};

enum class Container { Png, Bmp, Jpeg };

struct Header {
  Container container;
  unsigned long long width, height;
};

unsigned long long Be32(const uint8_t* p) {
  return (unsigned long long)p[0] << 24 | (unsigned long long)p[1] << 16 | (unsigned long long)p[2] << 8 | p[3];
}
unsigned Be16(const uint8_t* p) { return unsigned(p[0]) << 8 | p[1]; }
unsigned Le16(const uint8_t* p) { return unsigned(p[1]) << 8 | p[0]; }
long long Le32s(const uint8_t* p) {
  return (int32_t)(uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
}

// JPEG keeps its size in the first start-of-frame segment, after any number
// of other segments; walk them by their lengths.
HRESULT JpegSize(const std::vector<uint8_t>& b, Header* h) {
  size_t at = 2;
  for (;;) {
    if (at >= b.size() || b[at] != 0xFF) return WINCODEC_ERR_BADIMAGE;
    uint8_t marker = 0xFF;
    while (marker == 0xFF) {
      if (++at >= b.size()) return WINCODEC_ERR_BADIMAGE;
      marker = b[at];
    }
    ++at;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
    if (marker == 0xD9 || marker == 0xDA) return WINCODEC_ERR_BADIMAGE;   // image data before any frame
    if (at + 2 > b.size() || Be16(&b[at]) < 2) return WINCODEC_ERR_BADIMAGE;
    const unsigned length = Be16(&b[at]);
    bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (sof) {
      if (length < 7 || at + 7 > b.size()) return WINCODEC_ERR_BADIMAGE;
      h->height = Be16(&b[at + 3]);
      h->width = Be16(&b[at + 5]);
      return S_OK;
    }
    at += length;
  }
}

// Recognises the container and reads the claimed size without decoding.
HRESULT ReadHeader(const std::vector<uint8_t>& b, Header* h) {
  const size_t got = b.size();
  static const uint8_t kPngSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (got >= 8 && std::memcmp(b.data(), kPngSig, 8) == 0) {
    h->container = Container::Png;
    if (got < 33 || Be32(&b[8]) != 13 || std::memcmp(&b[12], "IHDR", 4) != 0) return WINCODEC_ERR_BADIMAGE;
    h->width = Be32(&b[16]);
    h->height = Be32(&b[20]);
  } else if (got >= 2 && b[0] == 'B' && b[1] == 'M') {
    h->container = Container::Bmp;
    if (got < 26) return WINCODEC_ERR_BADIMAGE;
    if (Le32s(&b[14]) == 12) {  // OS/2 core header: 16-bit sizes
      h->width = Le16(&b[18]);
      h->height = Le16(&b[20]);
    } else {
      long long w = Le32s(&b[18]), hh = Le32s(&b[22]);
      if (w <= 0 || hh == INT32_MIN) return WINCODEC_ERR_BADIMAGE;
      h->width = (unsigned long long)w;
      h->height = (unsigned long long)(hh < 0 ? -hh : hh);  // negative: rows stored top-down
    }
  } else if (got >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) {
    h->container = Container::Jpeg;
    HRESULT hr = JpegSize(b, h);
    if (FAILED(hr)) return hr;
  } else {
    return WINCODEC_ERR_COMPONENTNOTFOUND;
  }
  if (h->width == 0 || h->height == 0) return WINCODEC_ERR_BADIMAGE;
  if (h->width > kVxWicMaxSide || h->height > kVxWicMaxSide || h->width * h->height > kVxWicMaxPixels) {
    return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
  }
  return S_OK;
}

// Reads the whole file as CreateFile with GENERIC_READ then ReadFile would,
// with Windows' error codes; *why says it in words.
HRESULT ReadWholeFile(const char* path, std::vector<uint8_t>* bytes, std::string* why) {
  // Non-blocking so that a FIFO cannot stall the open; refused below anyway.
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    int err = errno;
    if (err == ENOENT) {
      // Windows tells a missing folder on the way from a missing file.
      std::string dir(path);
      size_t slash = dir.find_last_of('/');
      dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : dir.substr(0, slash));
      struct stat st;
      bool dirOk = stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
      *why = "not found";
      return HRESULT_FROM_WIN32(dirOk ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    }
    if (err == ENOTDIR || err == ENAMETOOLONG) {
      *why = "not found";
      return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    }
    if (err == EISDIR) {
      *why = "a folder";
      return E_ACCESSDENIED;
    }
    if (err == EACCES || err == EPERM) {
      *why = "not readable (permission denied)";
      return E_ACCESSDENIED;
    }
    *why = std::string("not readable (") + std::strerror(err) + ")";
    return err == ENOMEM ? E_OUTOFMEMORY : E_FAIL;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    bool folder = S_ISDIR(st.st_mode);
    close(fd);
    *why = folder ? "a folder" : "not a regular file";
    return E_ACCESSDENIED;  // directories and devices, as Windows refuses them
  }
  if ((unsigned long long)st.st_size > kVxWicMaxFileBytes) {
    close(fd);
    *why = "too large (a file of " + std::to_string((long long)st.st_size) + " bytes)";
    return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
  }
  try {
    bytes->resize(size_t(st.st_size));
  } catch (const std::bad_alloc&) {
    close(fd);
    *why = "out of memory";
    return E_OUTOFMEMORY;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  size_t done = 0;
  while (done < bytes->size()) {
    ssize_t n = read(fd, bytes->data() + done, bytes->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // shrank while being read: what was read is the file
    done += size_t(n);
  }
  bytes->resize(done);
  close(fd);
  return S_OK;
}

HRESULT OpenRows(Container container, const std::vector<uint8_t>& file, std::unique_ptr<VxWicRows>* rows,
                 VxWicImageInfo* info) {
  if (container == Container::Png) return VxWicOpenPngRows(file.data(), file.size(), true, rows, info);
  return VxWicOpenSdlImageRows(file.data(), file.size(), container == Container::Jpeg, rows, info);
}

class Frame : public VxComObject<IWICBitmapFrameDecode, IWICBitmapSource> {
 public:
  Frame(std::vector<uint8_t>&& file, Container container, const VxWicImageInfo& info)
      : file_(std::move(file)), container_(container), info_(info) {}

  HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override {
    if (!width || !height) return E_INVALIDARG;
    *width = info_.width;
    *height = info_.height;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* pixelFormat) override {
    if (!pixelFormat) return E_INVALIDARG;
    *pixelFormat = info_.format;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetResolution(double* dpiX, double* dpiY) override {
    if (!dpiX || !dpiY) return E_INVALIDARG;
    *dpiX = *dpiY = 96.0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override { return kPaletteUnavailable; }
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer) override {
    const unsigned bpp = VxWicBytesPerPixel(info_.format);
    WICRect area;
    HRESULT hr = VxWicCheckCopy(rect, info_.width, info_.height, bpp, stride, bufferSize, buffer, &area);
    if (hr != S_OK) return SUCCEEDED(hr) ? S_OK : hr;
    std::lock_guard<std::mutex> held(mutex_);
    hr = Rows(UINT(area.Y), bpp);
    if (FAILED(hr)) return hr;
    const bool wholeRows = area.X == 0 && UINT(area.Width) == info_.width;
    for (INT y = 0; y < area.Height; ++y) {
      uint8_t* out = buffer + size_t(y) * stride;
      if (!rows_->Next(wholeRows ? out : row_.data())) return Fail();
      if (!wholeRows) std::memcpy(out, row_.data() + size_t(area.X) * bpp, size_t(area.Width) * bpp);
      ++next_;
    }
    if (next_ == info_.height) Done();
    return S_OK;
  }

 private:
  // A decode positioned at row y: the running one when y is still ahead of
  // it, otherwise a new one from the top.
  HRESULT Rows(UINT y, unsigned bpp) {
    if (!rows_ || next_ > y) {
      Done();
      ++g_decodesStarted;
      VxWicImageInfo info;
      HRESULT hr = OpenRows(container_, file_, &rows_, &info);
      if (FAILED(hr)) return hr;
      try {
        row_.resize(size_t(info_.width) * bpp);
      } catch (const std::bad_alloc&) {
        Done();
        return E_OUTOFMEMORY;
      }
    }
    for (; next_ < y; ++next_) {
      if (!rows_->Next(row_.data())) return Fail();
    }
    return S_OK;
  }
  HRESULT Fail() {
    Done();
    return WINCODEC_ERR_BADIMAGE;
  }
  void Done() {
    rows_.reset();
    std::vector<uint8_t>().swap(row_);
    next_ = 0;
  }

  const std::vector<uint8_t> file_;
  const Container container_;
  const VxWicImageInfo info_;
  std::mutex mutex_;
  std::unique_ptr<VxWicRows> rows_;  // a decode in progress, or none
  std::vector<uint8_t> row_;         // one row, for rows skipped or cut
  UINT next_ = 0;                    // the row rows_ decodes next
};

class Decoder : public VxComObject<IWICBitmapDecoder> {
 public:
  explicit Decoder(Frame* frame) : frame_(frame) {}

  HRESULT STDMETHODCALLTYPE GetFrameCount(UINT* count) override {
    if (!count) return E_INVALIDARG;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetFrame(UINT index, IWICBitmapFrameDecode** frame) override {
    if (!frame) return E_INVALIDARG;
    *frame = nullptr;
    if (index != 0) return WINCODEC_ERR_FRAMEMISSING;
    frame_->AddRef();
    *frame = frame_.get();
    return S_OK;
  }

 private:
  VxRef<Frame> frame_;
};

// Reads the whole file once, keeping nothing of it, so that a bad file is
// refused now rather than when its pixels are first wanted.
HRESULT Check(Container container, const std::vector<uint8_t>& file, VxWicImageInfo* info) {
  if (container == Container::Png) return VxWicCheckPng(file.data(), file.size(), info);
  std::unique_ptr<VxWicRows> rows;
  HRESULT hr = OpenRows(container, file, &rows, info);
  if (FAILED(hr)) return hr;
  std::vector<uint8_t> row;
  try {
    row.resize(size_t(info->width) * VxWicBytesPerPixel(info->format));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  for (UINT y = 0; y < info->height; ++y) {
    if (!rows->Next(row.data())) return WINCODEC_ERR_BADIMAGE;
  }
  return S_OK;
}

HRESULT DecodeFile(const char* path, IWICBitmapDecoder** decoder, std::string* why) {
  std::vector<uint8_t> file;
  HRESULT hr = ReadWholeFile(path, &file, why);
  if (FAILED(hr)) return hr;
  Header header;
  hr = ReadHeader(file, &header);
  if (hr == WINCODEC_ERR_COMPONENTNOTFOUND) {
    *why = file.empty() ? "empty" : "not a PNG, BMP or JPEG image";
    return hr;
  }
  if (hr == WINCODEC_ERR_IMAGESIZEOUTOFRANGE) {
    *why = "too large (" + std::to_string(header.width) + " x " + std::to_string(header.height) + " pixels)";
    return hr;
  }
  VxWicImageInfo info;
  if (SUCCEEDED(hr)) hr = Check(header.container, file, &info);
  if (hr == E_OUTOFMEMORY) {
    *why = "out of memory";
    return hr;
  }
  if (FAILED(hr)) {
    *why = "truncated or corrupt";
    return hr;
  }
  Frame* frame = new (std::nothrow) Frame(std::move(file), header.container, info);
  if (!frame) {
    *why = "out of memory";
    return E_OUTOFMEMORY;
  }
  Decoder* made = new (std::nothrow) Decoder(frame);
  if (!made) {
    frame->Release();
    *why = "out of memory";
    return E_OUTOFMEMORY;
  }
  *decoder = made;
  return S_OK;
}

}  // namespace

long VxWicDecodesStarted() { return g_decodesStarted.load(); }

HRESULT VxWicDecodeFile(const char* path, IWICBitmapDecoder** decoder) {
  if (!decoder) return E_INVALIDARG;
  *decoder = nullptr;
  std::string why;
  HRESULT hr = DecodeFile(path, decoder, &why);
  if (FAILED(hr)) VxReportEnvironmentFailure(path, why.c_str());
  return hr;
}
