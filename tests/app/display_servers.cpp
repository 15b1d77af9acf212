#include "display_servers.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace displays {

Xvfb::Xvfb(bool endWithLastClient) {
  if (access("/usr/bin/Xvfb", X_OK) != 0) return;
  int fds[2];
  if (pipe(fds) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(fds[1], 3);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
          endWithLastClient ? "-terminate" : static_cast<char*>(nullptr), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  // The display's number, once it listens, up to its newline: the server
  // writes the two apart and dies if the second finds the pipe closed.
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (!number.empty()) display_ = ":" + number;
}

Xvfb::~Xvfb() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

Weston::Weston(const std::string& backend, const std::string& xDisplay) {
  if (access("/usr/bin/weston", X_OK) != 0) return;
  char dir[] = "/tmp/vx-weston-XXXXXX";
  if (!mkdtemp(dir)) return;
  dir_ = dir;
  const std::string backendArg = "--backend=" + backend + "-backend.so";
  const std::string log = dir_ + "/weston.log";
  pid_ = fork();
  if (pid_ == 0) {
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("WAYLAND_SOCKET");
    if (xDisplay.empty()) {
      unsetenv("DISPLAY");
    } else {
      setenv("DISPLAY", xDisplay.c_str(), 1);
    }
    int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    dup2(out, 2);
    execl("/usr/bin/weston", "weston", backendArg.c_str(), "--socket=vx-wayland", "--use-pixman",
          "--idle-time=0", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Up once its socket's lock is taken and the socket is there.
  const std::string socketPath = dir_ + "/vx-wayland";
  struct stat st;
  for (auto start = std::chrono::steady_clock::now();
       std::chrono::steady_clock::now() - start < std::chrono::seconds(20);) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    if (stat(socketPath.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) {
      socket_ = "vx-wayland";
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

Weston::~Weston() {
  Stop();
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
}

void Weston::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

void UseDisplay(const char* driver, const std::string& xDisplay) {
  if (driver) {
    setenv("SDL_VIDEODRIVER", driver, 1);
  } else {
    unsetenv("SDL_VIDEODRIVER");
  }
  if (xDisplay.empty()) {
    unsetenv("DISPLAY");
  } else {
    setenv("DISPLAY", xDisplay.c_str(), 1);
  }
}

namespace {

int g_errors = 0;
int CountError(Display*, XErrorEvent*) {
  ++g_errors;
  return 0;
}

}  // namespace

Client::Client(const std::string& display) {
  XSetErrorHandler(CountError);
  display_ = XOpenDisplay(display.c_str());
}

Client::~Client() {
  if (display_) XCloseDisplay(static_cast<Display*>(display_));
}

unsigned long Client::ViewableWindow() {
  Display* d = static_cast<Display*>(display_);
  Window root, parent, *children = nullptr, found = 0;
  unsigned n = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) return 0;
  for (unsigned i = 0; i < n && !found; ++i) {
    XWindowAttributes a;
    const int before = g_errors;
    if (XGetWindowAttributes(d, children[i], &a) && g_errors == before && a.map_state == IsViewable) {
      found = children[i];
    }
  }
  if (children) XFree(children);
  return found;
}

long Client::NonBlackPixels(unsigned long window) {
  Display* d = static_cast<Display*>(display_);
  XWindowAttributes a;
  const int before = g_errors;
  if (!XGetWindowAttributes(d, window, &a) || g_errors != before) return -1;
  XImage* image = XGetImage(d, window, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  XSync(d, False);
  if (!image || g_errors != before) {
    if (image) XDestroyImage(image);
    return -1;
  }
  long lit = 0;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) lit += (XGetPixel(image, x, y) & 0xFFFFFF) != 0;
  }
  XDestroyImage(image);
  return lit;
}

void Client::Close(unsigned long window) {
  Display* d = static_cast<Display*>(display_);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, window, False, NoEventMask, &e);
  XSync(d, False);
}

void Client::PressReturn(unsigned long window) {
  Display* d = static_cast<Display*>(display_);
  XEvent e{};
  e.xkey.display = d;
  e.xkey.window = window;
  e.xkey.root = DefaultRootWindow(d);
  e.xkey.time = CurrentTime;
  e.xkey.same_screen = True;
  e.xkey.keycode = XKeysymToKeycode(d, XK_Return);
  e.xkey.type = KeyPress;
  XSendEvent(d, window, True, KeyPressMask, &e);
  e.xkey.type = KeyRelease;
  XSendEvent(d, window, True, KeyReleaseMask, &e);
  XSync(d, False);
}

}  // namespace xdisplay
