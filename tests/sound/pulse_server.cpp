#include "pulse_server.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace soundtest {

PulseServer::PulseServer() {
  if (access("/usr/bin/pulseaudio", X_OK) != 0) return;
  char dir[] = "/tmp/vx-pulse-XXXXXX";
  if (!mkdtemp(dir)) return;
  dir_ = dir;
  const std::string socket = dir_ + "/native";
  // Without rewinds the monitor holds what the sink played, as played: a
  // rewound monitor drops or repeats stretches of a recording.
  const std::string sink = "module-null-sink sink_name=vx_null rate=48000 format=float32le channels=2 norewinds=1";
  const std::string native = "module-native-protocol-unix auth-anonymous=1 socket=" + socket;
  const std::string log = dir_ + "/pulse.log";
  pid_ = fork();
  if (pid_ == 0) {
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    setenv("HOME", dir_.c_str(), 1);
    int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    dup2(out, 2);
    execl("/usr/bin/pulseaudio", "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
          "-L", sink.c_str(), "-L", native.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  struct stat st;
  for (int i = 0; i < 500 && stat(socket.c_str(), &st) != 0; ++i) {
    if (pid_ < 0 || waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (stat(socket.c_str(), &st) != 0) return;
  setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
  setenv("PULSE_SINK", "vx_null", 1);
  setenv("PULSE_SOURCE", "vx_null.monitor", 1);
  setenv("PULSE_COOKIE", (dir_ + "/cookie").c_str(), 1);  // not in the user's home
  up_ = true;
}

PulseServer::~PulseServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
}

}  // namespace soundtest
