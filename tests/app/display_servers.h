// Display servers of a test's own, gone with it: an X server (Xvfb) and a
// Wayland compositor (weston) in a runtime folder of its own, absent where
// the program is not installed; and a client on an X display that looks at
// and acts on the programs' windows as a player and a window manager would.
#pragma once
#include <sys/types.h>

#include <string>

namespace displays {

// An X server of the test's own, gone with it; display() is empty where
// there is no Xvfb. One made to end with its last client ends when the
// number of its clients first falls to none, as other servers reset then.
class Xvfb {
 public:
  explicit Xvfb(bool endWithLastClient = false);
  ~Xvfb();
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// weston with the given backend ("headless", or "x11" on the X display
// given), listening on socket() in runtimeDir(); both empty when it could
// not be started. Clients need XDG_RUNTIME_DIR=runtimeDir() and
// WAYLAND_DISPLAY=socket().
class Weston {
 public:
  explicit Weston(const std::string& backend, const std::string& xDisplay = "");
  ~Weston();
  // Ends the compositor as a user's kill does.
  void Stop();
  const std::string& socket() const { return socket_; }
  const std::string& runtimeDir() const { return dir_; }

 private:
  pid_t pid_ = -1;
  std::string dir_, socket_;
};

// Points a child at a display: SDL's video driver (null: SDL's own order)
// and the X display (empty: none).
void UseDisplay(const char* driver, const std::string& xDisplay);

// A connection of the test's own; errors on it (a window gone meanwhile)
// fail the call, never the test program.
class Client {
 public:
  explicit Client(const std::string& display);
  ~Client();
  bool ok() const { return display_ != nullptr; }
  // The first top-level window that is mapped and viewable, 0 if none.
  unsigned long ViewableWindow();
  // How many of the window's pixels are other than black; -1 when they
  // cannot be read.
  long NonBlackPixels(unsigned long window);
  // Asks the window to close, as a window manager's close button does.
  void Close(unsigned long window);
  // Presses and releases Return in the window.
  void PressReturn(unsigned long window);

 private:
  void* display_ = nullptr;
};

}  // namespace xdisplay
