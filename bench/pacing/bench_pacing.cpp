// Runs the shell for a few seconds with an empty game and prints how often
// frames came and how evenly. Run from anywhere; it works in the assets folder.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/shell.h"
#include "game/game.h"

namespace {

using Clock = std::chrono::steady_clock;
std::vector<double> g_frameTimesMs;
Clock::time_point g_start;
double g_runSeconds = 3.0;

}  // namespace

void InitGameState() {}
void ClearHitFlashes() {}
void DrawHitFlashes(ID2D1RenderTarget*, ID2D1SolidColorBrush*) {}

void UpdateAndDrawFrame(ID2D1HwndRenderTarget*) {
  if (g_frameTimesMs.empty()) g_start = Clock::now();  // start-up's loading is not pacing
  double ms = std::chrono::duration<double, std::milli>(Clock::now() - g_start).count();
  g_frameTimesMs.push_back(ms);
  if (ms >= g_runSeconds * 1000.0) PostMessageW(g_mainWindow, WM_CLOSE, 0, 0);
}

int main(int argc, char** argv) {
  if (argc > 1) g_runSeconds = atof(argv[1]);
  if (chdir(VX_ASSETS_DIR) != 0) {
    perror("assets folder");
    return 1;
  }
  g_frameTimesMs.reserve(4096);
  int code = WinMain(reinterpret_cast<HINSTANCE>(1), NULL, const_cast<char*>(""), SW_SHOWDEFAULT);
  if (g_frameTimesMs.size() < 3) {
    fprintf(stderr, "too few frames (%zu); exit code %d\n", g_frameTimesMs.size(), code);
    return 1;
  }
  std::vector<double> gaps;
  for (size_t i = 2; i < g_frameTimesMs.size(); ++i) gaps.push_back(g_frameTimesMs[i] - g_frameTimesMs[i - 1]);
  std::sort(gaps.begin(), gaps.end());
  double span = (g_frameTimesMs.back() - g_frameTimesMs[1]) / 1000.0;
  printf("frames: %zu in %.2f s after the first: %.1f frames/s (timer period 33 ms: 30.3)\n",
         g_frameTimesMs.size() - 1, span, (g_frameTimesMs.size() - 2) / span);
  printf("interval ms: min %.1f  median %.1f  p99 %.1f  max %.1f\n", gaps.front(), gaps[gaps.size() / 2],
         gaps[gaps.size() * 99 / 100], gaps.back());
  printf("exit code %d\n", code);
  return 0;
}
