#include "x_display.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace xdisplay {

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
