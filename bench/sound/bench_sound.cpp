// Six game sounds loaded and playing at once: the memory they add, and the
// CPU the mixer spends per second of audio (decoding, resampling, mixing),
// against the mpg123 command-line decoder on the same files in the same run.
// Then, where PulseAudio is installed, the audio device through a sound
// server of its own with a null sink, recorded from the sink's monitor: the
// device buffer, the delay from a play call to the sound leaving the sink
// (against two frames, 66.7 ms), and the silent gaps in the music with four
// busy loops running (against the music as the mixer makes it).
//   bench_sound [directory with bgm01.mp3 ... Loc2.mp3]
#include "mp3_fixture.h"
#include "pulse_server.h"
#include "sound/dshow_helper.h"
#include "vx_sound_testing.h"

#include <SDL.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
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


// ---- the device, through a PulseAudio server of the bench's own ----

using Clock = std::chrono::steady_clock;
constexpr int kRecordRate = 48000;

// The sink's monitor, recorded in small pieces; each piece's arrival is
// timed, so that a recorded frame's time is known to within the capture's
// own smallest delay (which only adds to the delays measured).
struct Recording {
  std::vector<float> samples;  // interleaved stereo, preallocated
  std::atomic<size_t> frames{0};
  std::vector<std::pair<size_t, Clock::time_point>> arrivals;  // frames so far, when
  std::atomic<bool> overflow{false};

  static void SDLCALL Arrived(void* self, Uint8* stream, int len) {
    auto* r = static_cast<Recording*>(self);
    const size_t n = size_t(len) / (2 * sizeof(float));
    const size_t at = r->frames.load();
    if ((at + n) * 2 > r->samples.size() || r->arrivals.size() == r->arrivals.capacity()) {
      r->overflow = true;
      return;
    }
    std::memcpy(&r->samples[at * 2], stream, size_t(len));
    r->frames = at + n;
    r->arrivals.emplace_back(at + n, Clock::now());
  }

  // The frames delivered before a moment.
  size_t FramesBefore(Clock::time_point moment) const {
    size_t frames = 0;
    for (const auto& a : arrivals) {
      if (a.second > moment) break;
      frames = a.first;
    }
    return frames;
  }

  // When a frame left the sink, at the latest: by the pieces that brought it
  // and the 50 ms after it, the earliest any of them allows (frames lost
  // before it do not matter).
  Clock::time_point TimeOf(size_t frame) const {
    Clock::time_point at = Clock::time_point::max();
    for (const auto& a : arrivals) {
      if (a.first <= frame) continue;
      if (a.first > frame + kRecordRate / 20) break;
      const auto back = std::chrono::duration_cast<Clock::duration>(
          std::chrono::duration<double>(double(a.first - frame) / kRecordRate));
      at = std::min(at, a.second - back);
    }
    return at;
  }
  bool Silent(size_t frame) const { return samples[frame * 2] == 0.0f && samples[frame * 2 + 1] == 0.0f; }
};

// Runs of exact silence of at least minFrames inside [from, to): between
// the first and the last frame that sounds. Gives the count and the longest.
int SilentRuns(const std::function<bool(size_t)>& silent, size_t from, size_t to, size_t minFrames,
               size_t* longest) {
  while (from < to && silent(from)) ++from;
  while (to > from && silent(to - 1)) --to;
  int runs = 0;
  *longest = 0;
  for (size_t i = from; i < to;) {
    size_t j = i;
    while (j < to && silent(j)) ++j;
    if (j - i >= minFrames) {
      ++runs;
      *longest = std::max(*longest, j - i);
    }
    i = j + 1;
  }
  return runs;
}

// The longest a thread at the audio thread's priority oversleeps 1 ms
// sleeps while it runs: the scheduling delays the device has to ride out.
class StallProbe {
 public:
  StallProbe() {
    thread_ = std::thread([this] {
      // As SDL raises its audio threads, where it may.
      nice_ = setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), -20) == 0 ? -20 : 0;
      while (!stop_) {
        const Clock::time_point before = Clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const double over = std::chrono::duration<double, std::milli>(Clock::now() - before).count() - 1;
        double seen = worst_.load();
        while (over > seen && !worst_.compare_exchange_weak(seen, over)) {
        }
      }
    });
  }
  ~StallProbe() {
    stop_ = true;
    thread_.join();
  }
  // The worst since the last call.
  double Take() { return worst_.exchange(0); }
  int nice() const { return nice_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<double> worst_{0};
  std::atomic<int> nice_{0};
  std::thread thread_;
};

double LoadAverage() {
  double load[1] = {0};
  return getloadavg(load, 1) == 1 ? load[0] : -1;
}

void LoadSounds(const std::string& dir, std::initializer_list<int> which) {
  for (int i : which) {
    const std::string path = dir + "/" + kAssets[i].file;
    const std::wstring wpath(path.begin(), path.end());
    DShowHLP::LoadSound(wpath.c_str(), kAssets[i].name);
  }
}

// The device measured through the server; false when it could not be.
bool MeasureDevice(const std::string& dir) {
  constexpr int kShot = 4, kMusic = 0;
  constexpr double kMusicSeconds = 12, kBusySeconds = 12;
  const size_t minGap = kRecordRate * 2 / 1000;  // 2 ms

  // The references, from the mixer itself: where the shot's first sound
  // lies in it, and the music's own silent runs.
  vxtest::UseManualMixer(true);
  DShowHLP::Startup();
  LoadSounds(dir, {kMusic, kShot});
  const int manualRate = vxtest::MixerRate();
  std::vector<float> pulled(size_t(manualRate) * 2 * 2);
  DShowHLP::PlayFromStart(kAssets[kShot].name, 0, nullptr);
  vxtest::PullMixerOutput(pulled.data(), manualRate);
  size_t lead = 0;
  while (lead < size_t(manualRate) && pulled[lead * 2] == 0 && pulled[lead * 2 + 1] == 0) ++lead;
  DShowHLP::Stop(kAssets[kShot].name);
  std::vector<float> music(size_t(kMusicSeconds * manualRate) * 2);
  DShowHLP::PlayFromStart(kAssets[kMusic].name, 0, nullptr);
  vxtest::PullMixerOutput(music.data(), int(music.size() / 2));
  size_t longestOwn = 0;
  const int ownRuns = SilentRuns([&](size_t f) { return music[f * 2] == 0 && music[f * 2 + 1] == 0; }, 0,
                                 music.size() / 2, size_t(manualRate) * 2 / 1000, &longestOwn);
  DShowHLP::Cleanup();
  vxtest::UseManualMixer(false);

  soundtest::PulseServer server;
  if (!server.up()) {
    std::printf("device: not measured (pulseaudio is not installed or did not start)\n");
    return false;
  }
  setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
  DShowHLP::Startup();
  try {
    LoadSounds(dir, {kMusic, kShot});
  } catch (int) {
    std::fprintf(stderr, "cannot load the sounds again\n");
    DShowHLP::Cleanup();
    return false;
  }
  int frames = 0, rate = 0;
  if (!vxtest::MixerDeviceBuffer(&frames, &rate)) {
    std::printf("device: not measured (no device through the server)\n");
    DShowHLP::Cleanup();
    return false;
  }
  std::printf("device buffer: %d frames at %d Hz = %.1f ms\n", frames, rate, 1000.0 * frames / rate);

  // Recorded in 10.7 ms pieces: SDL loses stretches of a monitor read in
  // much smaller ones.
  SDL_InitSubSystem(SDL_INIT_AUDIO);
  Recording rec;
  const double recordSeconds = 60;
  rec.samples.assign(size_t(recordSeconds * kRecordRate) * 2, 1.0f);
  rec.arrivals.reserve(size_t(recordSeconds * kRecordRate / 512) + 16);
  SDL_AudioSpec want{}, have{};
  want.freq = kRecordRate;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  want.samples = 512;
  want.callback = Recording::Arrived;
  want.userdata = &rec;
  SDL_AudioDeviceID capture = SDL_OpenAudioDevice(nullptr, 1, &want, &have, 0);
  if (!capture) {
    std::printf("device: not measured (cannot record the monitor: %s)\n", SDL_GetError());
    DShowHLP::Cleanup();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  SDL_PauseAudioDevice(capture, 0);
  // The monitor delivers in bursts while the server settles.
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));

  // Plays of the shot at unrelated moments, each over silence.
  StallProbe stalls;
  std::mt19937 random(17);
  std::vector<Clock::time_point> plays;
  for (int i = 0; i < 40; ++i) {
    std::this_thread::sleep_for(std::chrono::microseconds(380000 + random() % 100000));
    plays.push_back(Clock::now());
    DShowHLP::PlayFromStart(kAssets[kShot].name, 0, nullptr);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const double stallPlays = stalls.Take();

  // The music, quiet for a while, then with four busy loops.
  const double loadBefore = LoadAverage();
  const size_t musicFrom = rec.frames;
  DShowHLP::PlayFromStart(kAssets[kMusic].name, 0, nullptr);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const double stallQuiet = stalls.Take();
  const size_t busyFrom = rec.frames;
  std::vector<pid_t> busy;
  for (int i = 0; i < 4; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      for (volatile unsigned long spin = 0;; ++spin) {
      }
    }
    if (pid > 0) busy.push_back(pid);
  }
  std::this_thread::sleep_for(std::chrono::duration<double>(kBusySeconds));
  for (pid_t pid : busy) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  const size_t busyTo = rec.frames;
  const double stallBusy = stalls.Take();
  const double loadAfter = LoadAverage();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  DShowHLP::Stop(kAssets[kMusic].name);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  SDL_CloseAudioDevice(capture);
  DShowHLP::Cleanup();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  if (rec.overflow) std::printf("(the recording ran out of room)\n");

  // A play's sound starts in no frame delivered before the play.
  const size_t recorded = rec.frames;
  std::vector<double> delays;
  for (const Clock::time_point played : plays) {
    size_t f = rec.FramesBefore(played);
    const size_t until = std::min(recorded, f + kRecordRate / 4);
    while (f < until && rec.Silent(f)) ++f;
    if (f == until) continue;  // not heard within 250 ms: counted below
    const double outAfter = std::chrono::duration<double>(rec.TimeOf(f) - played).count();
    delays.push_back(1000.0 * (outAfter - double(lead) / manualRate));
  }
  std::sort(delays.begin(), delays.end());
  const double budget = 2000.0 / 30;
  if (!delays.empty()) {
    const double worst = delays.back();
    std::printf("play to output (%zu plays over silence, %zu heard within 250 ms): median %.1f ms, 95th percentile "
                "%.1f ms, worst %.1f ms; worst / two frames (%.1f ms): %.2f (aim <= 0.9)\n",
                plays.size(), delays.size(), delays[delays.size() / 2], delays[delays.size() * 95 / 100], worst,
                budget, worst / budget);
  } else {
    std::printf("play to output: none of %zu plays heard\n", plays.size());
  }

  size_t longestQuiet = 0, longestBusy = 0;
  auto silent = [&](size_t f) { return rec.Silent(f); };
  const int quietRuns = SilentRuns(silent, musicFrom, busyFrom, minGap, &longestQuiet);
  const int busyRuns = SilentRuns(silent, busyFrom, busyTo, minGap, &longestBusy);
  std::printf("silent runs of 2 ms or more in the music: %d as the mixer makes it; through the server %d in %.1f s "
              "(longest %.1f ms), and %d in %.1f s with four busy loops (longest %.1f ms)\n",
              ownRuns, quietRuns, double(busyFrom - musicFrom) / kRecordRate, 1000.0 * longestQuiet / kRecordRate,
              busyRuns, double(busyTo - busyFrom) / kRecordRate, 1000.0 * longestBusy / kRecordRate);
  std::printf("scheduling: a 1 ms sleep at nice %d overslept at most %.1f ms during the plays, %.1f ms quiet, "
              "%.1f ms with the busy loops; load average %.1f before the loops, %.1f after\n",
              stalls.nice(), stallPlays, stallQuiet, stallBusy, loadBefore, loadAfter);

  // Closes soon after the device opens, as a player may close the game,
  // while an idle null sink has yet to ask for more (it first takes two
  // seconds at once).
  double worstClose = 0;
  for (int i = 0; i < 3; ++i) {
    DShowHLP::Startup();
    try {
      LoadSounds(dir, {kShot});
    } catch (int) {
      std::fprintf(stderr, "cannot load the shot again\n");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const Clock::time_point before = Clock::now();
    DShowHLP::Cleanup();
    worstClose = std::max(worstClose, std::chrono::duration<double, std::milli>(Clock::now() - before).count());
  }
  std::printf("device closed 0.3 s after it opened, 3 times: worst %.1f ms; / 300 ms: %.2f (aim <= 0.5)\n",
              worstClose, worstClose / 300);
  return true;
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

  MeasureDevice(dir);
  return 0;
}
