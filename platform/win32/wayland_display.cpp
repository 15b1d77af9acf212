// What SDL 2.26 leaves undone on a Wayland compositor: it crashes starting
// on one that offers no input seat, and when the compositor goes away under
// a running game it goes on dispatching a dead connection forever.
#include "win32_internal.h"

#include "vx_support.h"
#include "vx_window.h"

#include <SDL_syswm.h>
#include <unistd.h>
#include <wayland-client.h>

#include <atomic>
#include <cstdio>
#include <cstring>

namespace vxw {
namespace {

// The name libwayland connects to.
std::string WaylandDisplayName() {
  const char* name = SDL_getenv("WAYLAND_DISPLAY");
  return name && *name ? name : "wayland-0";
}

// Whether the compositor lists a wl_seat; false also when the registry
// cannot be read (SDL then fails on its own, without crashing).
bool CompositorHasSeat(wl_display* display, bool* answered) {
  bool seat = false;
  static const wl_registry_listener listener = {
      [](void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
        if (std::strcmp(interface, "wl_seat") == 0) *static_cast<bool*>(data) = true;
      },
      [](void*, wl_registry*, uint32_t) {},
  };
  wl_registry* registry = wl_display_get_registry(display);
  *answered = registry && wl_registry_add_listener(registry, &listener, &seat) == 0 &&
              wl_display_roundtrip(display) >= 0;
  if (registry) wl_registry_destroy(registry);
  return seat;
}

// Set once the window layer has a window on the Wayland driver; the display
// lives as long as SDL video, which is never shut down.
std::atomic<wl_display*> g_wayland{nullptr};
std::atomic<bool> g_notWayland{false};

wl_display* WaylandDisplayOf(SDL_Window* window) {
  if (wl_display* known = g_wayland.load()) return known;
  if (g_notWayland || !window) return nullptr;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver) return nullptr;
  if (SDL_strcmp(driver, "wayland") != 0) {
    g_notWayland = true;
    return nullptr;
  }
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND) return nullptr;
  g_wayland = info.info.wl.display;
  return info.info.wl.display;
}

}  // namespace

bool WaylandLacksSeat(std::string* why) {
  // A socket handed down in WAYLAND_SOCKET serves one connection only: a
  // probe would take it from SDL.
  if (SDL_getenv("WAYLAND_SOCKET")) return false;
  // SDL tries the drivers of SDL_VIDEODRIVER in turn, or else X11 before
  // Wayland; X11 is taken to answer wherever DISPLAY is set.
  const char* hint = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  const std::string drivers = hint && *hint ? hint : "x11,wayland";
  for (size_t at = 0; at <= drivers.size();) {
    size_t end = drivers.find(',', at);
    if (end == std::string::npos) end = drivers.size();
    const std::string name = drivers.substr(at, end - at);
    at = end + 1;
    if (SDL_strcasecmp(name.c_str(), "x11") == 0) {
      const char* display = SDL_getenv("DISPLAY");
      if (display && *display) return false;
      continue;
    }
    if (SDL_strcasecmp(name.c_str(), "wayland") != 0) {
      if (name.empty()) continue;
      return false;
    }
    // Without a runtime folder libwayland cannot connect, and complains:
    // SDL passes over Wayland then, and the probe need not complain twice.
    const char* runtime = SDL_getenv("XDG_RUNTIME_DIR");
    if (WaylandDisplayName()[0] != '/' && (!runtime || runtime[0] != '/')) continue;
    wl_display* display = wl_display_connect(nullptr);
    if (!display) continue;
    bool answered = false;
    const bool seat = CompositorHasSeat(display, &answered);
    wl_display_disconnect(display);
    if (seat || !answered) return false;
    *why = "the Wayland compositor at " + WaylandDisplayName() +
           " offers no input seat (wl_seat), which SDL cannot start without";
    return true;
  }
  return false;
}

}  // namespace vxw

void VxEndIfDisplayLost(SDL_Window* window) {
  wl_display* display = vxw::WaylandDisplayOf(window);
  if (!display) return;
  const int error = wl_display_get_error(display);
  if (error == 0) return;
  // As Xlib ends the process when the X server goes away: nothing can be
  // shown any more, and a shutdown would only wait on the dead connection.
  VxReportEnvironmentFailure(("Wayland connection to " + vxw::WaylandDisplayName() + " broken").c_str(),
                             std::strerror(error));
  std::fflush(nullptr);
  _exit(1);
}
