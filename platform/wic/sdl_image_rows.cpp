// BMP and JPEG with SDL2_image: decoded whole from the file's bytes, settled
// on one of the frame's formats, and served a row at a time.
#include <SDL.h>
#include <SDL_image.h>

#include <cstring>
#include <new>
#include <utility>

#include "wic/vx_wic.h"

namespace {

bool IsGreyRamp(const SDL_Surface* s) {
  const SDL_Palette* pal = s->format->palette;
  if (!pal || pal->ncolors != 256) return false;
  for (int i = 0; i < 256; ++i) {
    const SDL_Color& c = pal->colors[i];
    if (c.r != i || c.g != i || c.b != i || c.a != 255) return false;
  }
  return true;
}

// Settles the decoded surface on one of the formats a frame reports, in
// place where the bytes allow. Takes ownership of s.
SDL_Surface* Normalise(SDL_Surface* s, GUID* format) {
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
  // SDL turns a colour key into alpha 0 when the target has alpha.
  SDL_Surface* out = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_BGRA32, 0);
  SDL_FreeSurface(s);
  return out;
}

class SurfaceRows final : public VxWicRows {
 public:
  SurfaceRows(SDL_Surface* surface, size_t rowBytes) : surface_(surface), rowBytes_(rowBytes) {}
  ~SurfaceRows() override { SDL_FreeSurface(surface_); }
  bool Next(uint8_t* out) override {
    if (next_ >= surface_->h) return false;
    std::memcpy(out, static_cast<const uint8_t*>(surface_->pixels) + size_t(next_) * surface_->pitch, rowBytes_);
    ++next_;
    return true;
  }

 private:
  SDL_Surface* surface_;
  size_t rowBytes_;
  int next_ = 0;
};

}  // namespace

HRESULT VxWicOpenSdlImageRows(const uint8_t* data, size_t size, bool jpeg, std::unique_ptr<VxWicRows>* rows,
                              VxWicImageInfo* info) {
  SDL_RWops* rw = SDL_RWFromConstMem(data, int(size));
  if (!rw) return E_OUTOFMEMORY;
  SDL_Surface* surface = jpeg ? IMG_LoadJPG_RW(rw) : IMG_LoadBMP_RW(rw);
  SDL_RWclose(rw);
  if (!surface) return WINCODEC_ERR_BADIMAGE;
  // The header may not be the whole truth; the decoded size is what counts.
  if (surface->w <= 0 || surface->h <= 0 || unsigned(surface->w) > kVxWicMaxSide ||
      unsigned(surface->h) > kVxWicMaxSide) {
    SDL_FreeSurface(surface);
    return WINCODEC_ERR_BADIMAGE;
  }
  GUID format;
  surface = Normalise(surface, &format);
  if (!surface) return E_OUTOFMEMORY;
  info->width = UINT(surface->w);
  info->height = UINT(surface->h);
  info->format = format;
  rows->reset(new (std::nothrow) SurfaceRows(surface, size_t(surface->w) * VxWicBytesPerPixel(format)));
  if (!*rows) {
    SDL_FreeSurface(surface);
    return E_OUTOFMEMORY;
  }
  return S_OK;
}
