// Six game sounds loaded and playing at once: the memory they add, and the
// CPU the mixer spends per second of audio (decoding, resampling, mixing),
// against the mpg123 command-line decoder on the same files in the same run.
//   bench_sound [directory with bgm01.mp3 ... Loc2.mp3]
#include "mp3_fixture.h"
#include "sound/dshow_helper.h"
#include "vx_sound_testing.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Asset { const char* file; const wchar_t* name; double seconds; };
const Asset kAssets[] = {
    {"bgm01.mp3", L"bgm001", 80}, {"bgm02.mp3", L"bgm002", 80}, {"bgm03.mp3", L"bgm003", 80},
    {"bom2.mp3", L"hit", 0.6},    {"SHOT.mp3", L"pow", 0.3},    {"Loc2.mp3", L"loc", 0.4},
};

double ResidentMb() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Music-like material for the generated stand-ins: chords with a beat and some noise.
void MakeStandIns(const std::string& dir) {
  mkdir(dir.c_str(), 0755);
  for (const Asset& a : kAssets) {
    std::string path = dir + "/" + a.file;
    if (Exists(path)) continue;
    std::fprintf(stderr, "making %s (%.1f s)\n", path.c_str(), a.seconds);
    soundtest::WriteFile(path, a.seconds > 10 ? soundtest::EncodeSweep(110, 1760, a.seconds)
                                               : soundtest::EncodeTone(300 + 200 * a.seconds, a.seconds));
  }
}

double DecodeWithCli(const std::string& path) {
  double before = CpuSeconds(RUSAGE_CHILDREN);
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    execlp("mpg123", "mpg123", "-q", "-s", path.c_str(), (char*)nullptr);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "mpg123 failed on %s\n", path.c_str());
  return CpuSeconds(RUSAGE_CHILDREN) - before;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::string dir = argc > 1 ? argv[1] : std::string(VX_ASSETS_DIR) + "/sound";
  bool haveAll = true;
  for (const Asset& a : kAssets) haveAll = haveAll && Exists(dir + "/" + a.file);
  if (!haveAll) {
    dir = "bench_sound_files";
    MakeStandIns(dir);
  }
  std::printf("sounds from %s\n", dir.c_str());

  vxtest::UseManualMixer(true);
  DShowHLP::Startup();
  double rssBefore = ResidentMb();
  for (const Asset& a : kAssets) {
    std::string path = dir + "/" + a.file;
    std::wstring wpath(path.begin(), path.end());
    try {
      DShowHLP::LoadSound(wpath.c_str(), a.name);
    } catch (int) {
      std::fprintf(stderr, "cannot load %s\n", path.c_str());
      return 1;
    }
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the worker fills every ring
  double rssLoaded = ResidentMb();
  std::printf("resident memory: %.1f MB before, %.1f MB with six sounds loaded: %.2f MB added (aim < 5)\n",
              rssBefore, rssLoaded, rssLoaded - rssBefore);

  // The mixer, driven faster than real time with all six running.
  int rate = vxtest::MixerRate();
  double longest = 0;
  for (const Asset& a : kAssets) {
    LONGLONG d = 0;
    DShowHLP::g_sounds.at(a.name).seeking->GetDuration(&d);
    longest = std::max(longest, double(d) / 1e7);
    DShowHLP::PlayFromStart(a.name, 0, nullptr);
  }
  const int chunk = 512;
  std::vector<float> out(chunk * 2);
  long frames = long(longest * rate);
  double cpu0 = CpuSeconds(RUSAGE_SELF);
  auto wall0 = std::chrono::steady_clock::now();
  for (long done = 0; done < frames; done += chunk) vxtest::PullMixerOutput(out.data(), chunk);
  double mixCpu = CpuSeconds(RUSAGE_SELF) - cpu0;
  double mixWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  double rssPlayed = ResidentMb();
  DShowHLP::Cleanup();

  double cliCpu = 0;
  for (const Asset& a : kAssets) cliCpu += DecodeWithCli(dir + "/" + a.file);

  std::printf("audio mixed: %.1f s at %d Hz (six graphs)\n", longest, rate);
  std::printf("mixer:  %.2f ms CPU per second of audio (%.3f s CPU, %.3f s wall)\n", 1000 * mixCpu / longest,
              mixCpu, mixWall);
  std::printf("mpg123: %.2f ms CPU per second of audio (%.3f s CPU, mpg123 -q -s on the same six files)\n",
              1000 * cliCpu / longest, cliCpu);
  std::printf("ratio mixer / mpg123: %.2f (aim <= 1.5)\n", cliCpu > 0 ? mixCpu / cliCpu : 0.0);
  std::printf("resident after playing: %.1f MB\n", rssPlayed);
  return 0;
}
