#include "d2d/gl_device.h"

#include <algorithm>
#include <new>
#include <string>

#include "d2d/d2d_internal.h"
#include "vx_support.h"
#include "vx_window.h"
#include "vx_x11.h"

namespace vxd2d {

bool Device::MakeCurrent() {
  if (!context || VxSdlWindowOf(hwnd) != window) return false;
  return SDL_GL_MakeCurrent(window, context) == 0;
}

void Device::Release() {
  if (--refs > 0) return;
  if (context) {
    MakeCurrent();
    SDL_GL_DeleteContext(context);
  }
  delete this;
}

bool Device::Lost() {
  if (!robust) return false;
  return glGetGraphicsResetStatusARB() != GL_NO_ERROR;
}

HRESULT CreateDevice(HWND hwnd, Device** device) {
  *device = nullptr;
  SDL_Window* window = VxSdlWindowOf(hwnd);
  if (!window) {
    VxReportOnce("no window for the Direct2D render target", "the window handle is not live");
    return HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE);
  }
  // Every paint asks again for a target; the reason is told once.
  if (const char* why = VxNoOpenGlReason()) {
    VxReportOnce("no OpenGL 3.3 core context", why);
    return kNoHardwareDevice;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  // An X error while the context is made fails it, as the probe's did.
  VxXErrorTrap trap;
  std::string why;
  Device* made = nullptr;
  if (SDL_GLContext context = SDL_GL_CreateContext(window)) {
    made = new Device;
    made->hwnd = hwnd;
    made->window = window;
    made->context = context;
    if (!made->MakeCurrent() || epoxy_gl_version() < 33) why = "the driver offers an older version";
  } else {
    why = SDL_GetError();
  }
  trap.Sync(window);
  if (trap.Caught()) why = trap.What();
  if (!why.empty()) {
    VxReportOnce("no OpenGL 3.3 core context", why.c_str());
    if (made) made->Release();
    return kNoHardwareDevice;
  }
  made->robust = epoxy_has_gl_extension("GL_ARB_robustness");
  *device = made;
  return S_OK;
}

GlTexture* MakeTexture(Device* device, GLenum internal, int w, int h, GLenum format, GLenum type,
                       const void* data) {
  auto* t = new GlTexture{device, 0, w, h};
  device->AddRef();
  glGenTextures(1, &t->name);
  glBindTexture(GL_TEXTURE_2D, t->name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexImage2D(GL_TEXTURE_2D, 0, internal, std::max(w, 1), std::max(h, 1), 0, format, type,
               w > 0 && h > 0 ? data : nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  return t;
}

HRESULT MakeTextureFromSource(Device* device, IWICBitmapSource* source, UINT w, UINT h, GlTexture** texture) {
  *texture = nullptr;
  GlTexture* made = MakeTexture(device, GL_RGBA8, int(w), int(h), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
  // About a quarter of a megabyte a band.
  const UINT rows = std::max<UINT>(1, std::min<UINT>(h, (256u << 10) / std::max<UINT>(w * 4, 1)));
  std::vector<uint8_t> band;
  try {
    band.resize(size_t(w) * 4 * rows);
  } catch (const std::bad_alloc&) {
    ReleaseGlTexture(made);
    return E_OUTOFMEMORY;
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  for (UINT y = 0; y < h; y += rows) {
    const UINT n = std::min(rows, h - y);
    const WICRect rect = {0, INT(y), INT(w), INT(n)};
    HRESULT hr = source->CopyPixels(&rect, w * 4, w * 4 * n, band.data());
    if (FAILED(hr)) {
      ReleaseGlTexture(made);
      return hr;
    }
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, GLint(y), GLsizei(w), GLsizei(n), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                    band.data());
  }
  *texture = made;
  return S_OK;
}

bool ReadTexture(GlTexture* texture, std::vector<uint8_t>& bgra) {
  if (!texture || !texture->device->MakeCurrent()) return false;
  bgra.resize(size_t(texture->width) * texture->height * 4);
  if (bgra.empty()) return true;
  glBindTexture(GL_TEXTURE_2D, texture->name);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, bgra.data());
  return true;
}

void ReleaseGlTexture(GlTexture* texture) {
  if (!texture) return;
  if (texture->device->MakeCurrent()) glDeleteTextures(1, &texture->name);
  texture->device->Release();
  delete texture;
}

}  // namespace vxd2d
