// Shared between the windowing, message and video files of platform/win32.
#pragma once
#include <windows.h>

#include <SDL.h>

#include <atomic>
#include <memory>
#include <string>

namespace vxw {

// Initialises SDL video on first use. False when there is no display; the
// first failure seen with report set writes the one environment line.
bool EnsureVideo(bool report);
// True once SDL video is up and until the process exits; any thread.
bool VideoUp();
// SDL's drivers that show nothing (offscreen, dummy).
bool IsHeadlessDriver(const char* name);
// True, with the reason, when SDL would start on a Wayland compositor that
// offers no input seat: SDL 2.26 crashes in SDL_Init there. Call before
// SDL_Init; connects to the compositor only when SDL would.
bool WaylandLacksSeat(std::string* why);

struct Window {
  HWND hwnd = nullptr;
  WNDPROC proc = nullptr;
  SDL_Window* sdl = nullptr;
  Uint32 sdlId = 0;
  int clientWidth = 0;
  int clientHeight = 0;
  bool visible = false;
  bool destroying = false;  // UI thread only
  // One pending paint: invalidations while it waits merge into it.
  std::atomic<bool> paintPending{true};
};

// Live windows by handle; a destroyed handle is simply absent (handles are
// never reused), so a stale HWND is recognised and nothing freed is touched.
std::shared_ptr<Window> FindWindow(HWND hwnd);
std::shared_ptr<Window> FindWindowBySdlId(Uint32 id);
// The first live window with a pending paint (optionally only hwnd).
std::shared_ptr<Window> FindPendingPaint(HWND only);

// The first live window (keyboard events that name no window go to it).
std::shared_ptr<Window> AnyWindow();

// The SDL event type that wakes a blocked GetMessageW; pushing it is safe
// from any thread; false (nothing pushed) while SDL video is down.
Uint32 WakeEventType();
bool PushWakeEvent();

}  // namespace vxw
