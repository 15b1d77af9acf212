// Decoders and frames on SDL2_image. The whole image is decoded when the
// decoder is made; the one frame keeps the pixels and outlives the decoder.
#include <SDL.h>
#include <SDL_image.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "vx_com.h"
#include "wic/vx_wic.h"

namespace {

constexpr HRESULT kPaletteUnavailable = VX_HR(0x88982F45u);

enum class Container { Png, Bmp, Jpeg };

struct Header {
  Container container;
  unsigned long long width, height;
  int pngColorType;  // -1 unless PNG
};

unsigned long long Be32(const uint8_t* p) {
  return (unsigned long long)p[0] << 24 | (unsigned long long)p[1] << 16 | (unsigned long long)p[2] << 8 | p[3];
}
unsigned Be16(const uint8_t* p) { return unsigned(p[0]) << 8 | p[1]; }
unsigned Le16(const uint8_t* p) { return unsigned(p[1]) << 8 | p[0]; }
long long Le32s(const uint8_t* p) {
  return (int32_t)(uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
}

bool ReadExact(SDL_RWops* rw, void* out, size_t n) { return SDL_RWread(rw, out, 1, n) == n; }

// JPEG keeps its size in the first start-of-frame segment, after any number
// of other segments; walk them by their lengths.
HRESULT JpegSize(SDL_RWops* rw, Header* h) {
  for (;;) {
    uint8_t b = 0;
    if (!ReadExact(rw, &b, 1)) return WINCODEC_ERR_BADIMAGE;
    if (b != 0xFF) return WINCODEC_ERR_BADIMAGE;
    uint8_t marker = 0xFF;
    while (marker == 0xFF) {
      if (!ReadExact(rw, &marker, 1)) return WINCODEC_ERR_BADIMAGE;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
    if (marker == 0xD9 || marker == 0xDA) return WINCODEC_ERR_BADIMAGE;   // image data before any frame
    uint8_t len[2];
    if (!ReadExact(rw, len, 2) || Be16(len) < 2) return WINCODEC_ERR_BADIMAGE;
    bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (sof) {
      uint8_t f[5];
      if (Be16(len) < 7 || !ReadExact(rw, f, 5)) return WINCODEC_ERR_BADIMAGE;
      h->height = Be16(f + 1);
      h->width = Be16(f + 3);
      return S_OK;
    }
    if (SDL_RWseek(rw, Be16(len) - 2, RW_SEEK_CUR) < 0) return WINCODEC_ERR_BADIMAGE;
  }
}

// Recognises the container and reads the claimed size without decoding.
HRESULT ReadHeader(SDL_RWops* rw, Header* h) {
  uint8_t b[33] = {};
  size_t got = SDL_RWread(rw, b, 1, sizeof b);
  h->pngColorType = -1;
  static const uint8_t kPngSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (got >= 8 && std::memcmp(b, kPngSig, 8) == 0) {
    h->container = Container::Png;
    if (got < 33 || Be32(b + 8) != 13 || std::memcmp(b + 12, "IHDR", 4) != 0) return WINCODEC_ERR_BADIMAGE;
    h->width = Be32(b + 16);
    h->height = Be32(b + 20);
    h->pngColorType = b[25];
  } else if (got >= 2 && b[0] == 'B' && b[1] == 'M') {
    h->container = Container::Bmp;
    if (got < 26) return WINCODEC_ERR_BADIMAGE;
    if (Le32s(b + 14) == 12) {  // OS/2 core header: 16-bit sizes
      h->width = Le16(b + 18);
      h->height = Le16(b + 20);
    } else {
      long long w = Le32s(b + 18), hh = Le32s(b + 22);
      if (w <= 0 || hh == INT32_MIN) return WINCODEC_ERR_BADIMAGE;
      h->width = (unsigned long long)w;
      h->height = (unsigned long long)(hh < 0 ? -hh : hh);  // negative: rows stored top-down
    }
  } else if (got >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) {
    h->container = Container::Jpeg;
    if (SDL_RWseek(rw, 2, RW_SEEK_SET) < 0) return WINCODEC_ERR_BADIMAGE;
    HRESULT hr = JpegSize(rw, h);
    if (FAILED(hr)) return hr;
  } else {
    return WINCODEC_ERR_COMPONENTNOTFOUND;
  }
  if (h->width == 0 || h->height == 0) return WINCODEC_ERR_BADIMAGE;
  if (h->width > kVxWicMaxSide || h->height > kVxWicMaxSide) {
    return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
  }
  return SDL_RWseek(rw, 0, RW_SEEK_SET) < 0 ? WINCODEC_ERR_BADIMAGE : S_OK;
}

// Opens like CreateFile with GENERIC_READ would, with Windows' error codes.
HRESULT OpenForRead(const char* path, FILE** file) {
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
      return HRESULT_FROM_WIN32(dirOk ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    }
    if (err == ENOTDIR || err == ENAMETOOLONG) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    if (err == EACCES || err == EPERM || err == EISDIR) return E_ACCESSDENIED;
    if (err == ENOMEM) return E_OUTOFMEMORY;
    return E_FAIL;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return E_ACCESSDENIED;  // directories and devices, as Windows refuses them
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  *file = fdopen(fd, "rb");
  if (!*file) {
    close(fd);
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

bool IsGreyRamp(const SDL_Surface* s) {
  const SDL_Palette* pal = s->format->palette;
  if (!pal || pal->ncolors != 256) return false;
  for (int i = 0; i < 256; ++i) {
    const SDL_Color& c = pal->colors[i];
    if (c.r != i || c.g != i || c.b != i || c.a != 255) return false;
  }
  return true;
}

// SDL2_image hands a grey PNG with a transparent grey level back as 16-bit
// pixels of (grey, alpha) bytes under a made-up 16-bit RGB format.
SDL_Surface* GreyAlphaPairsToBgra(SDL_Surface* s) {
  SDL_Surface* out = SDL_CreateRGBSurfaceWithFormat(0, s->w, s->h, 32, SDL_PIXELFORMAT_BGRA32);
  if (!out) return nullptr;
  for (int y = 0; y < s->h; ++y) {
    const uint8_t* src = static_cast<const uint8_t*>(s->pixels) + size_t(y) * s->pitch;
    uint8_t* dst = static_cast<uint8_t*>(out->pixels) + size_t(y) * out->pitch;
    for (int x = 0; x < s->w; ++x, src += 2, dst += 4) {
      dst[0] = dst[1] = dst[2] = src[0];
      dst[3] = src[1];
    }
  }
  return out;
}

// Settles the decoded surface on one of the formats a frame reports, in
// place where the bytes allow. Takes ownership of s.
SDL_Surface* Normalise(SDL_Surface* s, const Header& h, GUID* format) {
  bool keyed = SDL_HasColorKey(s) == SDL_TRUE;
  Uint32 f = s->format->format;
  if (f == SDL_PIXELFORMAT_INDEX8 && !keyed && IsGreyRamp(s)) {
    *format = GUID_WICPixelFormat8bppGray;
    return s;
  }
  if (f == SDL_PIXELFORMAT_RGB24 && !keyed) {
    *format = GUID_WICPixelFormat24bppRGB;
    return s;
  }
  *format = GUID_WICPixelFormat32bppBGRA;
  if (f == SDL_PIXELFORMAT_RGBA32 && !keyed) {
    for (int y = 0; y < s->h; ++y) {
      uint8_t* p = static_cast<uint8_t*>(s->pixels) + size_t(y) * s->pitch;
      for (int x = 0; x < s->w; ++x, p += 4) std::swap(p[0], p[2]);
    }
    return s;
  }
  SDL_Surface* out;
  if (h.pngColorType == 0 && s->format->BytesPerPixel == 2) {
    out = GreyAlphaPairsToBgra(s);
  } else {
    // SDL turns a colour key into alpha 0 when the target has alpha.
    out = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_BGRA32, 0);
  }
  SDL_FreeSurface(s);
  return out;
}

class Frame : public VxComObject<IWICBitmapFrameDecode, IWICBitmapSource> {
 public:
  Frame(SDL_Surface* surface, const GUID& format) : surface_(surface), format_(format) {}
  ~Frame() override { SDL_FreeSurface(surface_); }

  HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override {
    if (!width || !height) return E_INVALIDARG;
    *width = UINT(surface_->w);
    *height = UINT(surface_->h);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* pixelFormat) override {
    if (!pixelFormat) return E_INVALIDARG;
    *pixelFormat = format_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetResolution(double* dpiX, double* dpiY) override {
    if (!dpiX || !dpiY) return E_INVALIDARG;
    *dpiX = *dpiY = 96.0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override { return kPaletteUnavailable; }
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer) override {
    unsigned bpp = VxWicBytesPerPixel(format_);
    WICRect area;
    HRESULT hr = VxWicCheckCopy(rect, UINT(surface_->w), UINT(surface_->h), bpp, stride, bufferSize, buffer, &area);
    if (hr != S_OK) return SUCCEEDED(hr) ? S_OK : hr;
    const uint8_t* src = static_cast<const uint8_t*>(surface_->pixels);
    for (INT y = 0; y < area.Height; ++y) {
      std::memcpy(buffer + size_t(y) * stride, src + size_t(area.Y + y) * surface_->pitch + size_t(area.X) * bpp,
                  size_t(area.Width) * bpp);
    }
    return S_OK;
  }

 private:
  SDL_Surface* surface_;
  GUID format_;
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

}  // namespace

HRESULT VxWicDecodeFile(const char* path, IWICBitmapDecoder** decoder) {
  if (!decoder) return E_INVALIDARG;
  *decoder = nullptr;
  FILE* file = nullptr;
  HRESULT hr = OpenForRead(path, &file);
  if (FAILED(hr)) return hr;
  SDL_RWops* rw = SDL_RWFromFP(file, SDL_TRUE);
  if (!rw) {
    std::fclose(file);
    return E_OUTOFMEMORY;
  }
  Header header;
  hr = ReadHeader(rw, &header);
  if (FAILED(hr)) {
    SDL_RWclose(rw);
    return hr;
  }
  SDL_Surface* surface = nullptr;
  switch (header.container) {
    case Container::Png: surface = IMG_LoadPNG_RW(rw); break;
    case Container::Bmp: surface = IMG_LoadBMP_RW(rw); break;
    case Container::Jpeg: surface = IMG_LoadJPG_RW(rw); break;
  }
  SDL_RWclose(rw);
  if (!surface) return WINCODEC_ERR_BADIMAGE;
  // The header may not be the whole truth; the decoded size is what counts.
  if (surface->w <= 0 || surface->h <= 0 || unsigned(surface->w) > kVxWicMaxSide ||
      unsigned(surface->h) > kVxWicMaxSide) {
    SDL_FreeSurface(surface);
    return WINCODEC_ERR_BADIMAGE;
  }
  GUID format;
  surface = Normalise(surface, header, &format);
  if (!surface) return E_OUTOFMEMORY;
  Frame* frame = new (std::nothrow) Frame(surface, format);
  if (!frame) {
    SDL_FreeSurface(surface);
    return E_OUTOFMEMORY;
  }
  Decoder* made = new (std::nothrow) Decoder(frame);
  if (!made) {
    frame->Release();
    return E_OUTOFMEMORY;
  }
  *decoder = made;
  return S_OK;
}
