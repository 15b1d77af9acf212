// SDL video start-up, the choice of OpenGL and screen metrics.
#include "win32_internal.h"

#include "vx_support.h"
#include "vx_window.h"
#include "vx_x11.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace vxw {
namespace {

enum class VideoState { Untried, Up, Failed, Ended };

// Never destroyed: worker threads can still run while exit() tears statics
// down (Xlib exits the process when the display goes away).
std::mutex& g_videoMutex = *new std::mutex;
VideoState g_videoState = VideoState::Untried;
std::atomic<bool> g_videoUp{false};
std::string g_videoError;
bool g_videoFailureReported = false;

// Video is not shut down at exit: the process's end releases the display,
// and unloading the GL libraries would turn what they still hold into
// leaks no suppression can name.
void EndVideoAtExit() {
  std::lock_guard<std::mutex> lock(g_videoMutex);
  g_videoUp = false;
  g_videoState = VideoState::Ended;
}

// Why no OpenGL 3.3 core context can be had, once that is known; empty
// while one can.
std::string g_noOpenGl;

// Whether the OpenGL library gives a 3.3 core context: made once on a hidden
// window and thrown away. The library stays loaded only if it does. An X
// error on the way fails the try.
bool CanMakeCoreContext(std::string* why) {
  VxXErrorTrap trap;
  bool ok = false;
  SDL_Window* window = nullptr;
  if (SDL_GL_LoadLibrary(NULL) != 0) {
    *why = SDL_GetError();
  } else {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    window = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
      *why = SDL_GetError();
    } else {
      using GetString = const unsigned char* (*)(unsigned);
      auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
      const unsigned kGlVersion = 0x1F02;
      const char* version = getString ? reinterpret_cast<const char*>(getString(kGlVersion)) : nullptr;
      int major = 0, minor = 0;
      if (version) std::sscanf(version, "%d.%d", &major, &minor);
      ok = major > 3 || (major == 3 && minor >= 3);
      if (!ok) *why = std::string("the driver offers OpenGL ") + (version ? version : "of unknown version");
      SDL_GL_DeleteContext(context);
    }
    trap.Sync(window);
  }
  if (window) SDL_DestroyWindow(window);
  trap.Sync(nullptr);
  if (trap.Caught()) {
    ok = false;
    *why = trap.What();
  }
  if (!ok) SDL_GL_UnloadLibrary();  // so that another try loads it afresh
  return ok;
}

// As Direct2D turns to its software rasteriser when the hardware cannot
// serve: where the driver gives no 3.3 core context, Mesa's software
// renderer gets one try, before any window needs OpenGL. Says so only when
// it had to. False when video could not be started again for the try.
bool ChooseOpenGl() {
  std::string why;
  if (CanMakeCoreContext(&why)) return true;
  const char* forced = SDL_getenv("LIBGL_ALWAYS_SOFTWARE");
  const char* driver = SDL_getenv("GALLIUM_DRIVER");
  if (forced && SDL_strcmp(forced, "1") == 0 && driver && SDL_strcmp(driver, "llvmpipe") == 0 &&
      !SDL_getenv("LIBGL_ALWAYS_INDIRECT")) {
    g_noOpenGl = why;
    return true;
  }
  if (VxX11LacksGlx()) {
    g_noOpenGl = why;  // no renderer can draw there: nothing to retry
    return true;
  }
  SDL_setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  SDL_setenv("GALLIUM_DRIVER", "llvmpipe", 1);
  // Indirect GLX (what ssh -X asks for) is refused by current X servers;
  // the software renderer draws directly, if slowly, over any connection.
  unsetenv("LIBGL_ALWAYS_INDIRECT");
  // GLX settles direct or indirect rendering and its driver once for each
  // connection to the display: the try needs a connection of its own.
  if (SDL_strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0 && !VxRestartVideo()) {
    g_videoError = SDL_GetError();
    return false;
  }
  std::string softwareWhy;
  if (CanMakeCoreContext(&softwareWhy)) {
    VxReportEnvironmentFailure("drawing with Mesa's software renderer",
                               ("the OpenGL driver gives no 3.3 core context: " + why).c_str());
  } else {
    g_noOpenGl = why + "; Mesa's software renderer: " + softwareWhy;
  }
  return true;
}

// Only what EnsureVideo started: the sounds are loaded before the window is
// made, so audio may be up, with the mixer's device open on it.
void QuitVideo() { SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS); }

}  // namespace

bool EnsureVideo(bool report) {
  std::lock_guard<std::mutex> lock(g_videoMutex);
  if (g_videoState == VideoState::Untried) {
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    VxPrepareSdl();
    bool driverChosen = SDL_GetHint("SDL_VIDEODRIVER") != nullptr;
    if (!driverChosen && !SDL_getenv("DISPLAY") && !SDL_getenv("WAYLAND_DISPLAY")) {
      // Probing would only add the display libraries' own complaints.
      g_videoError = "neither DISPLAY nor WAYLAND_DISPLAY is set (SDL_VIDEODRIVER=offscreen runs headless)";
      g_videoState = VideoState::Failed;
    } else if (WaylandLacksSeat(&g_videoError)) {
      g_videoState = VideoState::Failed;
    } else if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
      g_videoError = SDL_GetError();
      g_videoState = VideoState::Failed;
    } else if (IsHeadlessDriver(SDL_GetCurrentVideoDriver()) && !driverChosen) {
      // SDL falls back to an invisible driver when no display answers; a
      // game nobody can see is no better than none, unless asked for.
      g_videoError = "no X11 or Wayland display (SDL_VIDEODRIVER=offscreen runs headless)";
      QuitVideo();
      g_videoState = VideoState::Failed;
    } else if (!ChooseOpenGl()) {
      QuitVideo();
      g_videoState = VideoState::Failed;
    } else {
      g_videoState = VideoState::Up;
      g_videoUp = true;
      // One load held for the process: SDL otherwise unloads OpenGL with the
      // last GL window and loads it again for the next.
      VxXErrorTrap trap;
      SDL_GL_LoadLibrary(NULL);
      std::atexit(EndVideoAtExit);
    }
  }
  if (g_videoState == VideoState::Failed && report && !g_videoFailureReported) {
    g_videoFailureReported = true;
    VxReportEnvironmentFailure("no display", g_videoError.c_str());
  }
  return g_videoState == VideoState::Up;
}

bool VideoUp() { return g_videoUp; }

bool IsHeadlessDriver(const char* name) {
  return name && (SDL_strcmp(name, "offscreen") == 0 || SDL_strcmp(name, "dummy") == 0);
}

}  // namespace vxw

const char* VxNoOpenGlReason() {
  std::lock_guard<std::mutex> lock(vxw::g_videoMutex);
  return vxw::g_noOpenGl.empty() ? nullptr : vxw::g_noOpenGl.c_str();
}

namespace vxw {

Uint32 WakeEventType() {
  static const Uint32 type = SDL_RegisterEvents(1);
  return type;
}

bool PushWakeEvent() {
  Uint32 type = WakeEventType();
  // Held so that SDL_Quit at exit cannot run under a push from a timer thread.
  std::lock_guard<std::mutex> lock(g_videoMutex);
  if (!g_videoUp || type == (Uint32)-1) return false;
  SDL_Event event;
  SDL_zero(event);
  event.type = type;
  return SDL_PushEvent(&event) == 1;
}

}  // namespace vxw

// Frame sizes of a fixed dialog-framed window with a caption; the window
// layer subtracts exactly these to get the client area.
namespace {
constexpr int kDialogFrame = 3;
constexpr int kCaption = 23;
}  // namespace

int WINAPI GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
      SDL_DisplayMode mode;
      if (!vxw::EnsureVideo(true) || SDL_GetCurrentDisplayMode(0, &mode) != 0) return 0;
      return index == SM_CXSCREEN ? mode.w : mode.h;
    }
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
      return kDialogFrame;
    case SM_CYCAPTION:
      return kCaption;
    default:
      return 0;
  }
}

BOOL WINAPI SystemParametersInfoW(UINT action, UINT, PVOID pvParam, UINT) {
  if (action != SPI_GETWORKAREA || !pvParam) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  SDL_Rect bounds;
  if (!vxw::EnsureVideo(true) || SDL_GetDisplayUsableBounds(0, &bounds) != 0) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  RECT* area = static_cast<RECT*>(pvParam);
  area->left = bounds.x;
  area->top = bounds.y;
  area->right = bounds.x + bounds.w;
  area->bottom = bounds.y + bounds.h;
  return TRUE;
}

