// The message queue: posted messages, SDL input translated to messages, the
// quit flag and pending paints, in the priority order Windows gives them.
#include "win32_internal.h"

#include "vx_window.h"

#include <mmsystem.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace vxw {
namespace {

// Never destroyed: worker threads can still run while exit() tears statics
// down (Xlib exits the process when the display goes away).
std::mutex& g_queueMutex = *new std::mutex;
std::condition_variable& g_queueChanged = *new std::condition_variable;  // for waits while SDL video is down
uint64_t g_wakeCount = 0;
std::deque<MSG>& g_posted = *new std::deque<MSG>;
std::deque<MSG>& g_input = *new std::deque<MSG>;  // filled on the UI thread from SDL events
bool g_quitPending = false;
int g_quitCode = 0;
// One wake event in SDL's queue at a time: a 30 Hz timer must not flood it.
std::atomic<bool> g_wakeQueued{false};

void Wake() {
  {
    std::lock_guard<std::mutex> lock(g_queueMutex);
    ++g_wakeCount;
  }
  g_queueChanged.notify_all();
  if (!g_wakeQueued.exchange(true) && !PushWakeEvent()) g_wakeQueued = false;
}

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m{};
  m.hwnd = hwnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = timeGetTime();
  return m;
}

bool Fits(const MSG& m, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (hwnd && m.hwnd != hwnd) return false;
  if (filterMin == 0 && filterMax == 0) return true;
  return m.message >= filterMin && m.message <= filterMax;
}

bool TakeFitting(std::deque<MSG>& queue, MSG* out, HWND hwnd, UINT filterMin, UINT filterMax) {
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (Fits(*it, hwnd, filterMin, filterMax)) {
      *out = *it;
      queue.erase(it);
      return true;
    }
  }
  return false;
}

WPARAM VirtualKeyOf(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return VK_NUMPAD0 + 1 + (key - SDLK_KP_1);
  switch (key) {
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_TAB: return VK_TAB;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT: return VK_MENU;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_KP_0: return VK_NUMPAD0;
    case SDLK_KP_MULTIPLY: return VK_MULTIPLY;
    case SDLK_KP_PLUS: return VK_ADD;
    case SDLK_KP_MINUS: return VK_SUBTRACT;
    case SDLK_KP_PERIOD: return VK_DECIMAL;
    case SDLK_KP_DIVIDE: return VK_DIVIDE;
    default: return 0;
  }
}

void TranslateKey(const SDL_KeyboardEvent& key) {
  WPARAM vk = VirtualKeyOf(key.keysym.sym);
  if (!vk) return;
  std::shared_ptr<Window> window = FindWindowBySdlId(key.windowID);
  if (!window) window = AnyWindow();
  if (!window) return;
  bool down = key.type == SDL_KEYDOWN;
  bool alt = (key.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
  // Keystroke flags as Windows packs them: repeat count, scan code, Alt held,
  // previous state, transition.
  uint32_t flags = 1u | ((static_cast<uint32_t>(key.keysym.scancode) & 0xFF) << 16);
  if (alt) flags |= 1u << 29;
  if (!down || key.repeat) flags |= 1u << 30;
  if (!down) flags |= 1u << 31;
  // Alt and F10 belong to the system menu, as on Windows.
  bool system = alt || vk == VK_F1 + 9;
  UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
  MSG m = MakeMessage(window->hwnd, message, vk, static_cast<LPARAM>(flags));
  std::lock_guard<std::mutex> lock(g_queueMutex);
  g_input.push_back(m);
}

void TranslateWindowEvent(const SDL_WindowEvent& event) {
  std::shared_ptr<Window> window = FindWindowBySdlId(event.windowID);
  if (!window) return;
  MSG m{};
  switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
      m = MakeMessage(window->hwnd, WM_CLOSE, 0, 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      m = MakeMessage(window->hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      m = MakeMessage(window->hwnd, WM_ACTIVATE, (1u << 16) | WA_INACTIVE, 0);
      break;
    case SDL_WINDOWEVENT_RESTORED:
      window->paintPending = true;
      m = MakeMessage(window->hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      m = MakeMessage(window->hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
      break;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SHOWN:
      window->paintPending = true;
      return;
    default:
      return;
  }
  std::lock_guard<std::mutex> lock(g_queueMutex);
  g_input.push_back(m);
}

// The left button, at client coordinates packed as Windows packs them.
void TranslateButton(const SDL_MouseButtonEvent& button) {
  if (button.button != SDL_BUTTON_LEFT) return;
  std::shared_ptr<Window> window = FindWindowBySdlId(button.windowID);
  if (!window) return;
  const UINT message = button.type == SDL_MOUSEBUTTONDOWN ? WM_LBUTTONDOWN : WM_LBUTTONUP;
  MSG m = MakeMessage(window->hwnd, message, 0, MAKELONG(button.x, button.y));
  std::lock_guard<std::mutex> lock(g_queueMutex);
  g_input.push_back(m);
}

void Translate(const SDL_Event& event) {
  if (event.type == WakeEventType()) {
    g_wakeQueued = false;
    return;
  }
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      TranslateKey(event.key);
      break;
    case SDL_WINDOWEVENT:
      TranslateWindowEvent(event.window);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      TranslateButton(event.button);
      break;
    default:
      // SDL_QUIT included: closing a window arrives as its own close event.
      break;
  }
}

void PumpSdl() {
  if (!VideoUp()) return;
  SDL_Event event;
  while (SDL_PollEvent(&event)) Translate(event);
  if (std::shared_ptr<Window> window = AnyWindow()) VxEndIfDisplayLost(window->sdl);
}

}  // namespace
}  // namespace vxw

using vxw::Window;

BOOL WINAPI GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (hwnd && !vxw::FindWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  bool wantsPaint = (filterMin == 0 && filterMax == 0) || (filterMin <= WM_PAINT && WM_PAINT <= filterMax);
  for (;;) {
    uint64_t seenWakes;
    {
      std::lock_guard<std::mutex> lock(vxw::g_queueMutex);
      seenWakes = vxw::g_wakeCount;
      if (vxw::TakeFitting(vxw::g_posted, msg, hwnd, filterMin, filterMax)) {
        return msg->message == WM_QUIT ? 0 : 1;
      }
    }
    vxw::PumpSdl();
    {
      std::lock_guard<std::mutex> lock(vxw::g_queueMutex);
      if (vxw::TakeFitting(vxw::g_input, msg, hwnd, filterMin, filterMax)) return 1;
      if (vxw::g_quitPending) {
        vxw::g_quitPending = false;
        *msg = vxw::MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(vxw::g_quitCode), 0);
        return 0;
      }
    }
    if (wantsPaint) {
      if (std::shared_ptr<Window> window = vxw::FindPendingPaint(hwnd)) {
        *msg = vxw::MakeMessage(window->hwnd, WM_PAINT, 0, 0);
        return 1;
      }
    }
    // Every producer bumps the wake count and pushes a wake event, so nothing
    // that arrived after the checks above can be slept through. The timeout
    // only recovers from a wake event that someone else's SDL polling ate.
    if (vxw::VideoUp()) {
      SDL_Event event;
      if (SDL_WaitEventTimeout(&event, 1000)) {
        vxw::Translate(event);
      } else {
        vxw::g_wakeQueued = false;
      }
    } else {
      std::unique_lock<std::mutex> lock(vxw::g_queueMutex);
      vxw::g_queueChanged.wait_for(lock, std::chrono::milliseconds(1000),
                                   [&] { return vxw::g_wakeCount != seenWakes; });
    }
  }
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
  // No character messages: the layer's users read virtual keys only.
  return msg && (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP || msg->message == WM_SYSKEYDOWN ||
                 msg->message == WM_SYSKEYUP);
}

LRESULT WINAPI DispatchMessageW(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  std::shared_ptr<Window> window = vxw::FindWindow(msg->hwnd);
  if (!window) return 0;
  return window->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd && !vxw::FindWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> lock(vxw::g_queueMutex);
    vxw::g_posted.push_back(vxw::MakeMessage(hwnd, message, wParam, lParam));
  }
  vxw::Wake();
  return TRUE;
}

LRESULT WINAPI SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<Window> window = vxw::FindWindow(hwnd);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return window->proc(hwnd, message, wParam, lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
  {
    std::lock_guard<std::mutex> lock(vxw::g_queueMutex);
    vxw::g_quitPending = true;
    vxw::g_quitCode = exitCode;
  }
  vxw::Wake();
}

LRESULT WINAPI DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_PAINT: {
      // An unhandled paint still validates, or it would come back forever.
      PAINTSTRUCT ps;
      if (BeginPaint(hwnd, &ps)) EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SYSKEYDOWN:
      if (wParam == VK_F1 + 3 && (lParam & (1 << 29))) SendMessageW(hwnd, WM_CLOSE, 0, 0);
      return 0;
    default:
      return 0;
  }
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT*, BOOL) {
  std::shared_ptr<Window> window = vxw::FindWindow(hwnd);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (!window->paintPending.exchange(true)) vxw::Wake();
  return TRUE;
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
  std::shared_ptr<Window> window = vxw::FindWindow(hwnd);
  if (!window || !ps) {
    SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  window->paintPending = false;
  std::memset(ps, 0, sizeof(*ps));
  // Nothing draws through a device context here; the handle only has to be non-null.
  ps->hdc = reinterpret_cast<HDC>(hwnd);
  ps->rcPaint = RECT{0, 0, window->clientWidth, window->clientHeight};
  return ps->hdc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT*) { return TRUE; }
