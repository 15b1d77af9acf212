// The window, its procedure, the keyboard state, the frame timer and the
// paint path. Each paint with its resources in place is exactly one frame.
#include "app/shell.h"
#include "game/game.h"
#include "sound/dshow_helper.h"

std::atomic<HWND> g_mainWindow{NULL};
std::atomic<DWORD> g_lastTickMs{0};
std::atomic<DWORD> g_nowTickMs{0};
std::atomic<int> g_inactive{0};
BYTE g_keyDown[256];
BYTE g_keyLatched[256];
HANDLE g_delayedTimer = NULL;
int g_delayedPending = 0;
extern const wchar_t kWindowClassName[] = L"__QZ_DX2DDEMO_WINDOW";

namespace {

const int kClientWidth = 600;
const int kClientHeight = 720;
const DWORD kMinTickGapMs = 10;

void ReleaseKey(WPARAM key) {
  if (key >= 256) return;
  g_keyDown[key] = 0;
  g_keyLatched[key] = 0;
}

}  // namespace

HWND CreateMainWindow(HINSTANCE instance) {
  WNDCLASSEXW wc;
  memset(&wc, 0, sizeof(wc));
  wc.cbSize = sizeof(WNDCLASSEXW);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MainWndProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = 0;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(NULL, IDI_APPLICATION);
  wc.hCursor = LoadCursorW(NULL, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszMenuName = NULL;
  wc.lpszClassName = kWindowClassName;
  wc.hIconSm = NULL;
  if (!RegisterClassExW(&wc)) return NULL;

  int width = 2 * GetSystemMetrics(SM_CXDLGFRAME) + kClientWidth;
  int height = GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYDLGFRAME) + kClientHeight;

  RECT deskRect = {0, 0, 0, 0};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &deskRect, 0)) {
    deskRect.right = GetSystemMetrics(SM_CXSCREEN);
    deskRect.bottom = GetSystemMetrics(SM_CYSCREEN);
  }
  int x = deskRect.right / 2 - width / 2;
  int y = deskRect.bottom / 2 - height / 2;

  return CreateWindowExW(0, kWindowClassName, kWindowTitle, WS_SYSMENU | WS_MINIMIZEBOX, x, y, width, height, NULL,
                         NULL, instance, NULL);
}

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_ACTIVATE:
      g_inactive = LOWORD(wParam) == WA_INACTIVE ? 1 : 0;
      return 0;
    case WM_PAINT:
      OnPaint(hwnd);
      return 0;
    case WM_KEYDOWN:
      // Only another program can post a code past the arrays: ignore it.
      if (wParam < 256) g_keyDown[wParam] = 1;
      return 0;
    case WM_KEYUP:
      ReleaseKey(wParam);
      return 0;
    case WM_SYSKEYUP:
      // A key let go while Alt is down (as when focus leaves on Alt+Tab)
      // is let go all the same; the system still sees the keystroke.
      ReleaseKey(wParam);
      return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_APP_SOUND_EVENT:
      DShowHLP::HandleGraphEvent(reinterpret_cast<DShowHLP::Sound*>(lParam));
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

int KeyPressedOnce(int key) {
  if (key < 0 || key >= 256) return 0;
  if (g_keyDown[key] && !g_keyLatched[key]) {
    g_keyLatched[key] = 1;
    return 1;
  }
  return 0;
}

void CALLBACK FrameTimerProc(PVOID, BOOLEAN) {
  DWORD now = timeGetTime();
  g_nowTickMs = now;
  DWORD elapsed = now - g_lastTickMs.exchange(now);  // unsigned: right across the counter's wrap
  if (elapsed >= kMinTickGapMs && !g_inactive) InvalidateRect(g_mainWindow, NULL, FALSE);
}

BOOL OnPaint(HWND hwnd) {
  PAINTSTRUCT ps;
  BeginPaint(hwnd, &ps);
  EnterCriticalSection(&g_renderLock);
  if (SUCCEEDED(CreateDeviceResources(hwnd))) {
    g_renderTarget->BeginDraw();
    g_renderTarget->Clear(D2D1::ColorF(0.0f, 0.0f, 0.0f, 1.0f));
    RenderFrame(g_renderTarget);
    HRESULT hr = g_renderTarget->EndDraw(NULL, NULL);
    if (hr == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
      DiscardDeviceResources();
      InvalidateRect(hwnd, NULL, FALSE);
    }
  }
  LeaveCriticalSection(&g_renderLock);
  return EndPaint(hwnd, &ps);
}

void RenderFrame(ID2D1HwndRenderTarget* renderTarget) {
  UpdateAndDrawFrame(renderTarget);
  DrawHitFlashes(renderTarget, g_brush);
}

void ScheduleDelayedCall(DWORD delayMs, void (*call)()) {
  if (g_delayedPending) return;
  g_delayedPending = 1;
  if (g_delayedTimer) DeleteTimerQueueTimer(g_timerQueue, g_delayedTimer, NULL);
  CreateTimerQueueTimer(&g_delayedTimer, g_timerQueue, DelayedCallProc, reinterpret_cast<PVOID>(call), delayMs, 0,
                        WT_EXECUTEDEFAULT);
}

void CALLBACK DelayedCallProc(PVOID parameter, BOOLEAN) {
  EnterCriticalSection(&g_renderLock);
  g_delayedPending = 0;
  reinterpret_cast<void (*)()>(parameter)();
  LeaveCriticalSection(&g_renderLock);
}

void ReinitGameState() { InitGameState(); }
