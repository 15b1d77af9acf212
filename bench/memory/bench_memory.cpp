// Memory and start-up time of the three programs, run as a player runs them:
// the real binaries in the assets folder, a real window on SDL's offscreen
// driver, Mesa's software renderer. For each: peak resident memory (VmHWM),
// anonymous resident memory near the end, and the time from exec to the
// first presented frame (reported by a preloaded probe). With --old DIR the
// same figures for the programs in DIR, and the ratios new / old.
// Nobody presses a key: the stage plays by its script alone.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + t.tv_nsec * 1e-9;
}

// A field of /proc/PID/status in kB, or -1.
long StatusKb(pid_t pid, const char* field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  const size_t n = std::strlen(field);
  while (std::getline(in, line)) {
    if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':') return std::atol(line.c_str() + n + 1);
  }
  return -1;
}

// Resident memory by mapping (file, or [heap], [anon]...), largest first.
std::vector<std::pair<long, std::string>> ResidentByMapping(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/smaps");
  std::map<std::string, long> kb;
  std::string line, current;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    if (std::isxdigit(static_cast<unsigned char>(line[0])) && line.find('-') < line.find(' ')) {
      std::istringstream fields(line);
      std::string range, perms, offset, dev, inode, name;
      fields >> range >> perms >> offset >> dev >> inode;
      std::getline(fields, name);
      name.erase(0, name.find_first_not_of(' '));
      current = name.empty() ? "[anon]" : name;
    } else if (line.compare(0, 4, "Rss:") == 0) {
      kb[current] += std::atol(line.c_str() + 4);
    }
  }
  std::vector<std::pair<long, std::string>> out;
  for (auto& [name, size] : kb) out.emplace_back(size, name);
  std::sort(out.rbegin(), out.rend());
  return out;
}

struct Run {
  bool ok = false;
  double firstFrameMs = -1;
  long peakKb = -1, anonKb = -1;
  std::vector<std::pair<double, long>> samples;  // (seconds, resident kB)
  std::vector<std::pair<long, std::string>> mappings;
};

Run RunProgram(const std::string& binary, double seconds, double every, bool mappings) {
  Run run;
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return run;
  const double start = Now();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFds[1], 3);  // the probe's descriptor, kept across exec
    setenv("VX_PROBE_FD", "3", 1);
    setenv("LD_PRELOAD", VX_PROBE, 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    setenv("GALLIUM_DRIVER", "llvmpipe", 0);
    setenv("MESA_GL_VERSION_OVERRIDE", "3.3", 0);
    setenv("MESA_GLSL_VERSION_OVERRIDE", "330", 0);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    if (chdir(VX_ASSETS_DIR) != 0) _exit(127);
    execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  if (pid < 0) {
    close(pipeFds[0]);
    return run;
  }
  std::string text;
  double nextSample = 0;
  while (Now() - start < seconds) {
    pollfd p{pipeFds[0], POLLIN, 0};
    if (run.firstFrameMs < 0 && poll(&p, 1, 50) > 0) {
      char buffer[64];
      ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
      if (n > 0) text.append(buffer, size_t(n));
      if (text.find('\n') != std::string::npos) run.firstFrameMs = (std::atoll(text.c_str()) * 1e-9 - start) * 1000;
    } else {
      usleep(50000);
    }
    if (waitpid(pid, nullptr, WNOHANG) == pid) {
      close(pipeFds[0]);
      return run;  // ended by itself: not a run
    }
    const double t = Now() - start;
    if (every > 0 && t >= nextSample) {
      run.samples.emplace_back(t, StatusKb(pid, "VmRSS"));
      nextSample += every;
    }
  }
  run.peakKb = StatusKb(pid, "VmHWM");
  run.anonKb = StatusKb(pid, "RssAnon");
  if (mappings) run.mappings = ResidentByMapping(pid);
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  close(pipeFds[0]);
  run.ok = run.peakKb > 0;
  return run;
}

// Several runs of one program as one: the highest peak, the middle
// anonymous figure and first-frame time (start-up time varies most with the
// machine's load).
Run Combine(std::vector<Run> runs) {
  runs.erase(std::remove_if(runs.begin(), runs.end(), [](const Run& r) { return !r.ok; }), runs.end());
  if (runs.empty()) return Run{};
  Run out = runs.front();
  std::vector<double> frames;
  std::vector<long> anon;
  for (const Run& r : runs) {
    out.peakKb = std::max(out.peakKb, r.peakKb);
    frames.push_back(r.firstFrameMs);
    anon.push_back(r.anonKb);
  }
  std::sort(frames.begin(), frames.end());
  std::sort(anon.begin(), anon.end());
  out.firstFrameMs = frames[frames.size() / 2];
  out.anonKb = anon[anon.size() / 2];
  return out;
}

void Print(const char* label, const Run& r) {
  if (!r.ok) {
    std::printf("  %-5s did not run\n", label);
    return;
  }
  std::printf("  %-5s peak %6.1f MB   anonymous %6.1f MB   first frame %6.0f ms\n", label, r.peakKb / 1024.0,
              r.anonKb / 1024.0, r.firstFrameMs);
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 10, every = 0;
  int runs = 1;
  std::string old, only;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--seconds" && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (a == "--every" && i + 1 < argc) {
      every = std::atof(argv[++i]);
    } else if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--old" && i + 1 < argc) {
      old = argv[++i];
    } else if (a == "--program" && i + 1 < argc) {
      only = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: bench_memory [--seconds N] [--every S] [--runs N] [--old DIR] [--program NAME]\n");
      return 2;
    }
  }
  std::printf("%.0f s of play each on Mesa's software renderer, %d run(s) of each program%s; aim: peak at most "
              "170 MB\n",
              seconds, runs, runs > 1 ? " (highest peak, middle anonymous and first frame)" : "");
  bool first = true;
  for (const char* program : {"vexalon", "vexalon-r2", "vexalon-r3"}) {
    if (!only.empty() && only != program) continue;
    std::printf("%s\n", program);
    // New and old take turns, so that a change in the machine's load falls on both.
    std::vector<Run> nows, befores;
    for (int i = 0; i < runs; ++i) {
      nows.push_back(RunProgram(std::string(VX_PROGRAMS_DIR) + "/" + program, seconds, i == 0 ? every : 0,
                                first && i == 0));
      if (!old.empty()) befores.push_back(RunProgram(old + "/" + program, seconds, 0, false));
    }
    Run now = Combine(nows);
    Print("now", now);
    if (!old.empty()) {
      Run before = Combine(befores);
      Print("old", before);
      if (now.ok && before.ok) {
        std::printf("  ratio peak %.2f   anonymous %.2f   first frame %.2f\n", double(now.peakKb) / before.peakKb,
                    double(now.anonKb) / before.anonKb, now.firstFrameMs / before.firstFrameMs);
      }
    }
    for (auto& [t, kb] : now.samples) std::printf("  at %6.1f s resident %6.1f MB\n", t, kb / 1024.0);
    if (first && now.ok) {
      std::printf("  resident by mapping near the end:\n");
      for (size_t i = 0; i < now.mappings.size() && i < 8; ++i) {
        std::printf("    %6.1f MB  %s\n", now.mappings[i].first / 1024.0, now.mappings[i].second.c_str());
      }
    }
    first = false;
  }
  return 0;
}
