// Window classes and windows, each window an SDL window with OpenGL.
#include "win32_internal.h"

#include "vx_support.h"
#include "vx_window.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <mutex>
#include <vector>

namespace vxw {
namespace {

constexpr DWORD kErrorClassHasWindows = 1412;

struct WindowClass {
  std::wstring name;  // empty when registered by atom only
  ATOM atom;
  WNDPROC proc;
};

// Never destroyed: worker threads can still run while exit() tears statics
// down (Xlib exits the process when the display goes away).
std::mutex& g_tableMutex = *new std::mutex;  // guards both tables
std::vector<WindowClass>& g_classes = *new std::vector<WindowClass>;
ATOM g_nextAtom = 0xC000;
std::map<uintptr_t, std::shared_ptr<Window>>& g_windows = *new std::map<uintptr_t, std::shared_ptr<Window>>;
std::map<uintptr_t, ATOM>& g_windowClassOf = *new std::map<uintptr_t, ATOM>;
uintptr_t g_nextWindowId = 1;

bool IsAtomName(LPCWSTR name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

bool SameClassName(const std::wstring& a, LPCWSTR b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) return false;
  }
  return i == a.size() && !b[i];
}

WindowClass* FindClassLocked(LPCWSTR name) {
  if (!name) return nullptr;
  for (WindowClass& c : g_classes) {
    if (IsAtomName(name) ? c.atom == static_cast<ATOM>(reinterpret_cast<uintptr_t>(name))
                         : SameClassName(c.name, name)) {
      return &c;
    }
  }
  return nullptr;
}

}  // namespace

std::shared_ptr<Window> FindWindow(HWND hwnd) {
  std::lock_guard<std::mutex> lock(g_tableMutex);
  auto it = g_windows.find(reinterpret_cast<uintptr_t>(hwnd));
  return it == g_windows.end() ? nullptr : it->second;
}

std::shared_ptr<Window> FindWindowBySdlId(Uint32 id) {
  std::lock_guard<std::mutex> lock(g_tableMutex);
  for (auto& entry : g_windows) {
    if (entry.second->sdlId == id) return entry.second;
  }
  return nullptr;
}

std::shared_ptr<Window> AnyWindow() {
  std::lock_guard<std::mutex> lock(g_tableMutex);
  return g_windows.empty() ? nullptr : g_windows.begin()->second;
}

std::shared_ptr<Window> FindPendingPaint(HWND only) {
  std::lock_guard<std::mutex> lock(g_tableMutex);
  for (auto& entry : g_windows) {
    if ((!only || entry.second->hwnd == only) && entry.second->paintPending.load()) return entry.second;
  }
  return nullptr;
}

}  // namespace vxw

using vxw::Window;

ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* wc) {
  if (!wc || wc->cbSize != sizeof(WNDCLASSEXW) || !wc->lpfnWndProc || !wc->lpszClassName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::mutex> lock(vxw::g_tableMutex);
  if (vxw::FindClassLocked(wc->lpszClassName)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  vxw::WindowClass entry;
  if (vxw::IsAtomName(wc->lpszClassName)) {
    entry.atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(wc->lpszClassName));
  } else {
    entry.name = wc->lpszClassName;
    entry.atom = vxw::g_nextAtom++;
  }
  entry.proc = wc->lpfnWndProc;
  vxw::g_classes.push_back(entry);
  return entry.atom;
}

BOOL WINAPI UnregisterClassW(LPCWSTR className, HINSTANCE) {
  std::lock_guard<std::mutex> lock(vxw::g_tableMutex);
  vxw::WindowClass* c = vxw::FindClassLocked(className);
  if (!c) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  for (auto& entry : vxw::g_windowClassOf) {
    if (entry.second == c->atom) {
      SetLastError(vxw::kErrorClassHasWindows);
      return FALSE;
    }
  }
  vxw::g_classes.erase(vxw::g_classes.begin() + (c - vxw::g_classes.data()));
  return TRUE;
}

HWND WINAPI CreateWindowExW(DWORD, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int width,
                            int height, HWND, HMENU, HINSTANCE, LPVOID) {
  ATOM atom = 0;
  auto window = std::make_shared<Window>();
  {
    std::lock_guard<std::mutex> lock(vxw::g_tableMutex);
    vxw::WindowClass* c = vxw::FindClassLocked(className);
    if (!c) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    atom = c->atom;
    window->proc = c->proc;
  }
  if (!vxw::EnsureVideo(true)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }

  // The outer size includes the frame the metrics report; SDL sizes the client.
  if (width == CW_USEDEFAULT) width = 640;
  if (height == CW_USEDEFAULT) height = 480;
  window->clientWidth = std::max(1, width - 2 * GetSystemMetrics(SM_CXDLGFRAME));
  window->clientHeight =
      std::max(1, height - GetSystemMetrics(SM_CYCAPTION) - 2 * GetSystemMetrics(SM_CYDLGFRAME));
  if (x == CW_USEDEFAULT) x = y = SDL_WINDOWPOS_UNDEFINED;
  window->visible = (style & WS_VISIBLE) != 0;

  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  Uint32 flags = SDL_WINDOW_OPENGL | (window->visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
  window->sdl = SDL_CreateWindow(VxUtf32ToUtf8(title).c_str(), x, y, window->clientWidth,
                                 window->clientHeight, flags);
  if (!window->sdl) {
    VxReportEnvironmentFailure("cannot open an OpenGL window", SDL_GetError());
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  window->sdlId = SDL_GetWindowID(window->sdl);

  std::lock_guard<std::mutex> lock(vxw::g_tableMutex);
  // Handles are never reused, so a stale one can only miss.
  uintptr_t key = (vxw::g_nextWindowId++ << 4) | 0x2;
  window->hwnd = reinterpret_cast<HWND>(key);
  vxw::g_windows[key] = window;
  vxw::g_windowClassOf[key] = atom;
  return window->hwnd;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
  std::shared_ptr<Window> window = vxw::FindWindow(hwnd);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (window->destroying) return TRUE;
  window->destroying = true;
  window->proc(hwnd, WM_DESTROY, 0, 0);
  {
    std::lock_guard<std::mutex> lock(vxw::g_tableMutex);
    vxw::g_windows.erase(reinterpret_cast<uintptr_t>(hwnd));
    vxw::g_windowClassOf.erase(reinterpret_cast<uintptr_t>(hwnd));
  }
  if (vxw::VideoUp()) SDL_DestroyWindow(window->sdl);
  window->sdl = nullptr;
  return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) { return vxw::FindWindow(hwnd) ? TRUE : FALSE; }

BOOL WINAPI ShowWindow(HWND hwnd, int cmdShow) {
  std::shared_ptr<Window> window = vxw::FindWindow(hwnd);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  BOOL wasVisible = window->visible ? TRUE : FALSE;
  if (cmdShow == SW_HIDE) {
    SDL_HideWindow(window->sdl);
    window->visible = false;
    return wasVisible;
  }
  SDL_ShowWindow(window->sdl);
  if (cmdShow == SW_MINIMIZE || cmdShow == SW_SHOWMINIMIZED) SDL_MinimizeWindow(window->sdl);
  if (!window->visible) window->paintPending = true;
  window->visible = true;
  return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
  std::shared_ptr<Window> window = vxw::FindWindow(hwnd);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (window->paintPending.load()) window->proc(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
  std::shared_ptr<Window> window = vxw::FindWindow(hwnd);
  if (!window || !rect) {
    SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = RECT{0, 0, window->clientWidth, window->clientHeight};
  return TRUE;
}

SDL_Window* VxSdlWindowOf(HWND hwnd) {
  std::shared_ptr<Window> window = vxw::FindWindow(hwnd);
  return window ? window->sdl : nullptr;
}

bool VxClientSizeOf(HWND hwnd, int* width, int* height) {
  std::shared_ptr<Window> window = vxw::FindWindow(hwnd);
  if (!window) return false;
  if (width) *width = window->clientWidth;
  if (height) *height = window->clientHeight;
  return true;
}

// Icons, cursors and stock objects are never drawn by this layer; callers
// only need handles that are not null.
namespace {
struct DummyGdiObject {
  int kind;
};
DummyGdiObject g_icon{1}, g_cursor{2};
DummyGdiObject g_stock[20];
}  // namespace

HICON WINAPI LoadIconW(HINSTANCE, LPCWSTR) { return reinterpret_cast<HICON>(&g_icon); }
HCURSOR WINAPI LoadCursorW(HINSTANCE, LPCWSTR) { return reinterpret_cast<HCURSOR>(&g_cursor); }
HGDIOBJ WINAPI GetStockObject(int object) {
  if (object < 0 || object >= 20) return nullptr;
  return &g_stock[object];
}
