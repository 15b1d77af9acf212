// A PulseAudio server of the test's or benchmark's own: `pulseaudio` with one
// null sink, in a runtime folder of its own, gone with the object.
#pragma once
#include <sys/types.h>

#include <string>

namespace soundtest {

// While up, the process's environment points libpulse at this server, and
// only at it (its socket, its sink and the sink's monitor, a cookie in its
// folder). Not up where /usr/bin/pulseaudio is missing or did not start.
class PulseServer {
 public:
  PulseServer();
  ~PulseServer();
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;
  bool up() const { return up_; }

 private:
  pid_t pid_ = -1;
  std::string dir_;
  bool up_ = false;
};

}  // namespace soundtest
