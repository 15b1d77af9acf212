#include "d2d/gl_device.h"

#include <algorithm>

#include "d2d/d2d_internal.h"
#include "internal/vx_window.h"

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
    VxReportEnvironmentFailure("no window for the Direct2D render target", "the window handle is not live");
    return HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE);
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    VxReportEnvironmentFailure("no OpenGL 3.3 core context", SDL_GetError());
    return kNoHardwareDevice;
  }
  Device* made = new Device;
  made->hwnd = hwnd;
  made->window = window;
  made->context = context;
  if (!made->MakeCurrent() || epoxy_gl_version() < 33) {
    VxReportEnvironmentFailure("no OpenGL 3.3 core context", "the driver offers an older version");
    made->Release();
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

void ReleaseGlTexture(GlTexture* texture) {
  if (!texture) return;
  if (texture->device->MakeCurrent()) glDeleteTextures(1, &texture->name);
  texture->device->Release();
  delete texture;
}

}  // namespace vxd2d
