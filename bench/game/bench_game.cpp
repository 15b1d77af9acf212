// The first edition over a full stage with scripted play: the game logic
// alone on a recording render target, then logic plus real OpenGL drawing
// offscreen, frame by frame. The worst drawn frame's calls are saved for the
// render benchmark to replay.
#include <windows.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/shell.h"
#include "game/game.h"
#include "game/rng.h"
#include "game/tables.h"
#include "tests/support/shell_start.h"
#include "vx_testing.h"


namespace {

constexpr int kStageFrames = 14300;
using Clock = std::chrono::steady_clock;

void ScriptKeys(int frame) {
  auto hold = [](int key, bool down) {
    g_keyDown[key] = down ? 1 : 0;
    if (!down) g_keyLatched[key] = 0;
  };
  hold(VK_LEFT, (frame / 90) % 2 == 0);
  hold(VK_RIGHT, (frame / 90) % 2 == 1);
  hold(VK_UP, (frame / 200) % 3 == 0);
  hold(VK_DOWN, (frame / 200) % 3 == 1);
  if (frame % 6 == 0) hold(VK_SPACE, true);
  if (frame % 6 == 3) hold(VK_SPACE, false);
}

void ResetStage() {
  InitGameState();
  for (Enemy& e : g_enemies) e.motionTimer = e.heading = 0.0f;
  g_frameTicks = 0;
  g_scrollA = g_scrollB = g_score = 0.0f;
  g_randState = 1;
  std::memset(g_keyDown, 0, sizeof g_keyDown);
  std::memset(g_keyLatched, 0, sizeof g_keyLatched);
}

// As the paint path does it, less the lock and the paint.
void PaintOneFrame() {
  g_renderTarget->BeginDraw();
  g_renderTarget->Clear(D2D1::ColorF(0x000000, 1.0f));
  UpdateAndDrawFrame(g_renderTarget);
  DrawHitFlashes(g_renderTarget, g_brush);
  g_renderTarget->EndDraw();
}

// One line per call: its op, the brush's colour and opacity, then what that
// op has (bitmaps as 0 for the sprite sheet, 1 for the background, -1 other).
bool SaveCommands(const char* path, const std::vector<vxtest::Command>& commands, int frame) {
  FILE* f = std::fopen(path, "w");
  if (!f) return false;
  std::fprintf(f, "# vexalon frame %d: %zu calls\n", frame, commands.size());
  for (const vxtest::Command& c : commands) {
    std::fprintf(f, "%d %.9g %.9g %.9g %.9g %.9g |", static_cast<int>(c.op), c.color.r, c.color.g, c.color.b,
                 c.color.a, c.brushOpacity);
    switch (c.op) {
      case vxtest::Op::Clear:
        break;
      case vxtest::Op::DrawLine:
        std::fprintf(f, " %.9g %.9g %.9g %.9g | %.9g", c.p0.x, c.p0.y, c.p1.x, c.p1.y, c.strokeWidth);
        break;
      case vxtest::Op::DrawRectangle:
      case vxtest::Op::FillRectangle:
        std::fprintf(f, " %.9g %.9g %.9g %.9g | %.9g", c.rect.left, c.rect.top, c.rect.right, c.rect.bottom,
                     c.strokeWidth);
        break;
      case vxtest::Op::DrawRoundedRectangle:
        std::fprintf(f, " %.9g %.9g %.9g %.9g %.9g %.9g | %.9g", c.rect.left, c.rect.top, c.rect.right,
                     c.rect.bottom, c.rounded.radiusX, c.rounded.radiusY, c.strokeWidth);
        break;
      case vxtest::Op::DrawEllipse:
      case vxtest::Op::FillEllipse:
        std::fprintf(f, " %.9g %.9g %.9g %.9g | %.9g", c.ellipse.point.x, c.ellipse.point.y, c.ellipse.radiusX,
                     c.ellipse.radiusY, c.strokeWidth);
        break;
      case vxtest::Op::DrawBitmap: {
        const int bitmap = c.bitmap == g_spriteBitmap ? 0 : c.bitmap == g_backgroundBitmap ? 1 : -1;
        std::fprintf(f, " %.9g %.9g %.9g %.9g | %d %d %.9g %.9g %.9g %.9g %.9g %d", c.rect.left, c.rect.top,
                     c.rect.right, c.rect.bottom, bitmap, c.hasSource ? 1 : 0, c.source.left, c.source.top,
                     c.source.right, c.source.bottom, c.opacity, static_cast<int>(c.interpolation));
        break;
      }
      case vxtest::Op::DrawText:
        std::fprintf(f, " %.9g %.9g %.9g %.9g | %u", c.rect.left, c.rect.top, c.rect.right, c.rect.bottom,
                     c.textLength);
        for (const WCHAR* t = c.text; t && *t; ++t) std::fprintf(f, " %x", static_cast<unsigned>(*t));
        break;
    }
    std::fprintf(f, "\n");
  }
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  // By default into the build tree, never into the folder it is run from.
  const char* out = argc > 1 ? argv[1] : VX_BENCH_OUT_DIR "/bench_game_worst_frame.txt";
  char outPath[4096];
  if (out[0] == '/') {
    std::snprintf(outPath, sizeof outPath, "%s", out);
  } else {
    char cwd[2048];
    if (!getcwd(cwd, sizeof cwd)) cwd[0] = 0;
    std::snprintf(outPath, sizeof outPath, "%s/%s", cwd, out);
  }
  if (chdir(VX_ASSETS_DIR) != 0) {
    std::fprintf(stderr, "bench_game: cannot enter %s\n", VX_ASSETS_DIR);
    return 1;
  }
  if (const char* failed = support::StartShell(true)) {
    std::fprintf(stderr, "bench_game: %s\n", failed);
    return 1;
  }
  g_mainWindow = CreateMainWindow(reinterpret_cast<HINSTANCE>(1));
  if (!g_mainWindow) {
    std::fprintf(stderr, "bench_game: no window\n");
    return 1;
  }

  // Logic alone: every call is recorded as data, nothing is drawn.
  vxtest::UseRecordingTargets(true);
  if (FAILED(CreateDeviceResources(g_mainWindow))) {
    std::fprintf(stderr, "bench_game: no recording target\n");
    return 1;
  }
  ResetStage();
  for (int f = 0; f < 300; ++f) PaintOneFrame();  // warm the recording storage
  ResetStage();
  const auto logicStart = Clock::now();
  size_t calls = 0;
  for (int f = 0; f < kStageFrames; ++f) {
    ScriptKeys(f);
    PaintOneFrame();
    calls += vxtest::LastFrame(g_renderTarget).size();
  }
  const double logicSeconds = std::chrono::duration<double>(Clock::now() - logicStart).count();
  std::printf("logic (recording target): %d frames in %.3f s = %.0f frames/s, %.0f calls/frame, score %.0f\n",
              kStageFrames, logicSeconds, kStageFrames / logicSeconds, static_cast<double>(calls) / kStageFrames,
              g_score);
  DiscardDeviceResources();
  vxtest::UseRecordingTargets(false);

  // Logic plus real drawing, timed frame by frame up to the end of drawing.
  if (FAILED(CreateDeviceResources(g_mainWindow))) {
    std::printf("drawing: no OpenGL render target here; figures pending\n");
    return 0;
  }
  ResetStage();
  for (int f = 0; f < 30; ++f) PaintOneFrame();
  ResetStage();
  std::vector<double> ms(kStageFrames);
  int worstFrame = 0;
  for (int f = 0; f < kStageFrames; ++f) {
    ScriptKeys(f);
    const auto start = Clock::now();
    PaintOneFrame();
    ms[f] = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (ms[f] > ms[worstFrame]) worstFrame = f;
  }
  std::vector<double> sorted = ms;
  std::sort(sorted.begin(), sorted.end());
  std::printf("logic + OpenGL drawing: median %.2f ms, p99 %.2f ms, worst %.2f ms (frame %d)\n",
              sorted[sorted.size() / 2], sorted[sorted.size() * 99 / 100], sorted.back(), worstFrame);

  // Replay the stage on a recording target up to the worst frame and save its calls.
  DiscardDeviceResources();
  vxtest::UseRecordingTargets(true);
  if (FAILED(CreateDeviceResources(g_mainWindow))) return 1;
  ResetStage();
  for (int f = 0; f <= worstFrame; ++f) {
    ScriptKeys(f);
    PaintOneFrame();
  }
  if (!SaveCommands(outPath, vxtest::LastFrame(g_renderTarget), worstFrame)) {
    std::fprintf(stderr, "bench_game: cannot write %s\n", outPath);
    return 1;
  }
  std::printf("worst frame's %zu calls saved to %s\n", vxtest::LastFrame(g_renderTarget).size(), outPath);
  DiscardDeviceResources();
  return 0;
}
