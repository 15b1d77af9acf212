#include "scripted_game.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "app/shell.h"
#include "game/game.h"
#include "sound/dshow_helper.h"
#include "vx_testing.h"

namespace {

void Deactivate() {
  HWND window = g_mainWindow;
  PostMessageW(window, WM_ACTIVATE, WA_INACTIVE, 0);
  std::thread([window] {
    Sleep(300);
    PostMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0);
  }).detach();
}

void ReadBack(GameScript* s) {
  std::vector<uint8_t> rgba;
  if (!vxtest::ReadWindowPixels(g_mainWindow, rgba, &s->readBackWidth, &s->readBackHeight)) return;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
    if (rgba[i] || rgba[i + 1] || rgba[i + 2] || rgba[i + 3] != 255) s->readBackNonBlack++;
  }
}

}  // namespace

GameScript* Script() {
  static GameScript* script = static_cast<GameScript*>(
      mmap(NULL, sizeof(GameScript), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  return script;
}

void ResetScript() {
  memset(Script(), 0, sizeof(GameScript));
}

void InitGameState() {
  GameScript* s = Script();
  s->initCalls++;
  if (g_mainWindow.load()) s->initSawWindow = 1;
  s->soundsLoadedAtInit = static_cast<int>(DShowHLP::g_sounds.size());
}

void UpdateAndDrawFrame(ID2D1HwndRenderTarget* renderTarget) {
  GameScript* s = Script();
  s->frames++;
  if (s->frames == 1) s->firstFrameHadTimerQueue = g_timerQueue != NULL;
  // A target's first frame: addresses can repeat after a release, counts can't.
  if (vxtest::FramesDrawn(renderTarget) == 0) s->targetsSeen++;
  if (g_inactive) s->framesWhileInactive++;
  if (s->frames == s->removeImagesAtFrame) {
    remove("images/back01.png");
    remove("images/jiki1.png");
  }
  if (s->frames == s->loseTargetAtFrame) vxtest::FailNextEndDraw(renderTarget);
  if (s->frames == s->deactivateAtFrame) Deactivate();
  if (s->frames == s->closeAtFrame) {
    if (s->readBackAtClose) ReadBack(s);
    PostMessageW(g_mainWindow, WM_CLOSE, 0, 0);
  }
}

void ClearHitFlashes() {}

void DrawHitFlashes(ID2D1RenderTarget*, ID2D1SolidColorBrush* brush) {
  GameScript* s = Script();
  s->flashDraws++;
  if (brush && brush == g_brush) s->flashDrawsWithSharedBrush++;
}
