// What the windowing family (platform/win32) and the drawing family
// (platform/d2d) do on SDL's X11 driver itself: catching the X protocol
// errors OpenGL can raise, and starting video again on a new connection.
#pragma once
#include <string>

struct SDL_Window;

// While one lives, an X protocol error on the display of SDL's X11 driver is
// recorded here instead of reaching Xlib's default handler, which ends the
// process. Errors arrive late: Sync (or the end of the trap) waits for the
// server's answers to everything asked before, so that the errors of the
// guarded calls are counted inside the trap. Nothing happens under any other
// video driver. Traps nest; user-interface thread only.
class VxXErrorTrap {
 public:
  VxXErrorTrap();
  ~VxXErrorTrap();
  VxXErrorTrap(const VxXErrorTrap&) = delete;
  VxXErrorTrap& operator=(const VxXErrorTrap&) = delete;

  // Waits for the server on window's display (any SDL window of the
  // driver's, null for a hidden one made for the purpose).
  void Sync(SDL_Window* window);
  // After Sync: whether an error arrived since the trap was set, and the
  // first one, described.
  bool Caught() const;
  std::string What() const;

 private:
  struct State;
  State* state_ = nullptr;  // null when not on X11
};

// Whether SDL's X11 driver is up on a display whose server has no GLX at
// all, where no OpenGL driver can serve. False under any other video driver.
bool VxX11LacksGlx();

// Stops SDL video and starts it again with the same driver, on new
// connections to the display. False, with SDL's error set, when it does not
// start again. No window may exist.
bool VxRestartVideo();
