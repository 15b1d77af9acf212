// X protocol errors met while OpenGL is probed and set up. Xlib's default
// handler ends the process on any error, and a driver that cannot serve the
// display (indirect GLX refused over ssh -X, a missing DRI driver) raises
// them from inside SDL's own start-up of GLX, where SDL sets no handler.
#include "vx_x11.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdio>
#include <cstring>

namespace {

struct ErrorRecord {
  int errors = 0;
  Display* display = nullptr;
  unsigned char code = 0, major = 0, minor = 0;
};

// The innermost trap's record; user-interface thread only, as are the
// display's requests.
ErrorRecord* g_caught = nullptr;

int RecordError(Display* display, XErrorEvent* error) {
  if (g_caught && g_caught->errors++ == 0) {
    g_caught->display = display;
    g_caught->code = error->error_code;
    g_caught->major = error->request_code;
    g_caught->minor = error->minor_code;
  }
  return 0;
}

bool OnX11() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && std::strcmp(driver, "x11") == 0;
}

Display* DisplayOf(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
  return info.info.x11.display;
}

// SDL's own connection: any window of the driver's will do, as they all
// share it, so a hidden one is made for the asking.
Display* DriverDisplay() {
  SDL_Window* hidden = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN);
  Display* display = DisplayOf(hidden);
  if (hidden) SDL_DestroyWindow(hidden);
  return display;
}

}  // namespace

struct VxXErrorTrap::State {
  ErrorRecord caught;
  ErrorRecord* outer = nullptr;
  XErrorHandler replaced = nullptr;
  Display* display = nullptr;  // where to wait for the server, once known
};

VxXErrorTrap::VxXErrorTrap() {
  if (!OnX11()) return;
  state_ = new State;
  state_->outer = g_caught;
  g_caught = &state_->caught;
  state_->replaced = XSetErrorHandler(RecordError);
}

VxXErrorTrap::~VxXErrorTrap() {
  if (!state_) return;
  if (!state_->display) Sync(nullptr);
  if (state_->display) XSync(state_->display, False);
  XSetErrorHandler(state_->replaced);
  g_caught = state_->outer;
  // What the inner trap met, the outer one met too.
  if (g_caught && state_->caught.errors > 0) {
    if (g_caught->errors == 0) *g_caught = state_->caught;
    else g_caught->errors += state_->caught.errors;
  }
  delete state_;
}

void VxXErrorTrap::Sync(SDL_Window* window) {
  if (!state_) return;
  if (Display* display = DisplayOf(window)) state_->display = display;
  if (!state_->display) state_->display = DriverDisplay();
  if (state_->display) XSync(state_->display, False);
}

bool VxXErrorTrap::Caught() const { return state_ && state_->caught.errors > 0; }

std::string VxXErrorTrap::What() const {
  if (!Caught()) return std::string();
  const ErrorRecord& c = state_->caught;
  char text[160] = "";
  XGetErrorText(c.display, c.code, text, sizeof text);
  int glxMajor = 0, firstEvent = 0, firstError = 0;
  const bool glx = XQueryExtension(c.display, "GLX", &glxMajor, &firstEvent, &firstError) && glxMajor == c.major;
  char line[320];
  if (glx) {
    std::snprintf(line, sizeof line, "X error %s on GLX request %d", text, c.minor);
  } else {
    std::snprintf(line, sizeof line, "X error %s on X request %d.%d", text, c.major, c.minor);
  }
  return line;
}

bool VxX11LacksGlx() {
  if (!OnX11()) return false;
  Display* display = DriverDisplay();
  int major = 0, firstEvent = 0, firstError = 0;
  return display && !XQueryExtension(display, "GLX", &major, &firstEvent, &firstError);
}

bool VxRestartVideo() {
  const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
  // An X server resets when its last client leaves, and refuses new ones
  // meanwhile: a connection of ours holds it across.
  Display* hold = OnX11() ? XOpenDisplay(nullptr) : nullptr;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  // The same driver, not SDL's next choice: should this one fail, one that
  // shows nothing would take its place.
  if (!driver.empty()) SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, driver.c_str(), SDL_HINT_OVERRIDE);
  const bool up = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  if (!driver.empty()) SDL_ResetHint(SDL_HINT_VIDEODRIVER);
  if (hold) XCloseDisplay(hold);
  return up;
}
