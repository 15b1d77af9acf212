// Display servers of a test's own, gone with it: an X server (Xvfb) and a
// Wayland compositor (weston) in a runtime folder of its own. Where the
// program is not installed the server is simply absent.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace support {

class Xvfb {
 public:
  Xvfb() {
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
            static_cast<char*>(nullptr));
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
  ~Xvfb() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
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
  Weston(const std::string& backend, const std::string& xDisplay = "") {
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
  ~Weston() {
    Stop();
    if (!dir_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(dir_, ignored);
    }
  }
  // Ends the compositor as a user's kill does.
  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }
  const std::string& socket() const { return socket_; }
  const std::string& runtimeDir() const { return dir_; }

 private:
  pid_t pid_ = -1;
  std::string dir_, socket_;
};

}  // namespace support
