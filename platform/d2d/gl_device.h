// The OpenGL side of one window: its context, shared by the render target
// and every texture made for it, and the textures themselves.
#pragma once
#include <SDL.h>
#include <epoxy/gl.h>
#include <wincodec.h>
#include <windows.h>

#include <cstdint>
#include <vector>

namespace vxd2d {

// One OpenGL context on one SDL window; it lives until the last of its
// users (the target, the textures) is released.
struct Device {
  HWND hwnd = nullptr;
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  bool robust = false;
  int refs = 1;

  // False when the window is gone: nothing may be made current on it.
  bool MakeCurrent();
  void AddRef() { ++refs; }
  void Release();
  bool Lost();
};

// Makes a 3.3 core context on the window and makes it current. On failure
// the reason has been written to stderr and *device is null.
HRESULT CreateDevice(HWND hwnd, Device** device);

struct GlTexture {
  Device* device;
  GLuint name;
  int width, height;
};

// A linear-filtered, edge-clamped texture on the device, which must be
// current; data may be null (contents undefined).
GlTexture* MakeTexture(Device* device, GLenum internal, int w, int h, GLenum format, GLenum type,
                       const void* data);

// A texture of a premultiplied BGRA source's w x h pixels, read from it in
// bands of rows, each uploaded at once: nothing but the texture ever holds
// the whole image. The device must be current. Fails as the source fails.
HRESULT MakeTextureFromSource(Device* device, IWICBitmapSource* source, UINT w, UINT h, GlTexture** texture);

}  // namespace vxd2d
