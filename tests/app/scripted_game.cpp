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

// Pixels other than the scene's, and the scene's corner.
void ReadBack(GameScript* s) {
  std::vector<uint8_t> rgba;
  if (!vxtest::ReadWindowPixels(g_mainWindow, rgba, &s->readBackWidth, &s->readBackHeight)) return;
  const int w = s->readBackWidth;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
    const int x = int(i / 4) % w, y = int(i / 4) / w;
    const bool scene = (x < kBackW && y < kBackH) ||
                       (x >= kSpriteAt[0] && x < kSpriteAt[0] + 32 && y >= kSpriteAt[1] && y < kSpriteAt[1] + 32) ||
                       (x >= kRedSquare[0] && x < kRedSquare[2] && y >= kRedSquare[1] && y < kRedSquare[3]);
    if (s->drawScene && scene) continue;
    if (rgba[i] || rgba[i + 1] || rgba[i + 2] || rgba[i + 3] != 255) s->readBackNonBlack++;
  }
  for (int y = 0; y < kPictureH && y < s->readBackHeight && kPictureW <= w; ++y) {
    memcpy(&s->picture[y * kPictureW * 4], &rgba[size_t(y) * w * 4], kPictureW * 4);
  }
}

// Reads the picture back once the closing frame has ended, then closes: a
// message to a window of its own comes after the paint that posted it.
LRESULT CALLBACK ReadBackProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_APP + 1) return DefWindowProcW(hwnd, message, wParam, lParam);
  ReadBack(Script());
  PostMessageW(g_mainWindow, WM_CLOSE, 0, 0);
  DestroyWindow(hwnd);
  return 0;
}

HWND MakeReadBackWindow() {
  WNDCLASSEXW wc;
  memset(&wc, 0, sizeof wc);
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = ReadBackProc;
  wc.lpszClassName = L"ScriptedReadBack";
  RegisterClassExW(&wc);
  return CreateWindowExW(0, L"ScriptedReadBack", L"", 0, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
}

HWND g_readBackWindow = NULL;

void DrawScene(ID2D1HwndRenderTarget* target) {
  const float h = static_cast<float>(g_backgroundBitmap->GetPixelSize().height);
  target->DrawBitmap(g_backgroundBitmap, D2D1::RectF(0, 0, kBackW, kBackH), 1.0f,
                     D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, D2D1::RectF(0, h - kBackH, kBackW, h));
  target->DrawBitmap(g_spriteBitmap, D2D1::RectF(kSpriteAt[0], kSpriteAt[1], kSpriteAt[0] + 32, kSpriteAt[1] + 32),
                     1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, D2D1::RectF(0, 0, 32, 32));
  g_brush->SetColor(D2D1::ColorF(1.0f, 0.0f, 0.0f, 1.0f));
  target->FillRectangle(D2D1::RectF(kRedSquare[0], kRedSquare[1], kRedSquare[2], kRedSquare[3]), g_brush);
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
  if (s->readBackAtClose) g_readBackWindow = MakeReadBackWindow();
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
  if (s->drawScene) DrawScene(renderTarget);
  if (s->frames == s->closeAtFrame) {
    if (s->readBackAtClose) {
      std::vector<uint8_t> early;
      s->readBackInFrame = vxtest::ReadWindowPixels(g_mainWindow, early, nullptr, nullptr) ? 1 : -1;
      PostMessageW(g_readBackWindow, WM_APP + 1, 0, 0);
    } else {
      PostMessageW(g_mainWindow, WM_CLOSE, 0, 0);
    }
  }
}

void ClearHitFlashes() {}

void DrawHitFlashes(ID2D1RenderTarget*, ID2D1SolidColorBrush* brush) {
  GameScript* s = Script();
  s->flashDraws++;
  if (brush && brush == g_brush) s->flashDrawsWithSharedBrush++;
}
