// Process start-up, asset loading and shutdown, in their fixed orders.
#include "app/shell.h"
#include "game/game.h"
#include "sound/dshow_helper.h"

ID2D1Factory* g_d2dFactory = NULL;
IDWriteFactory* g_dwriteFactory = NULL;
CRITICAL_SECTION g_renderLock;
IWICBitmapFrameDecode* g_backgroundFrame = NULL;
IWICBitmapFrameDecode* g_spriteFrame = NULL;
HANDLE g_timerQueue = NULL;

namespace {

// A failed start-up is reported to the system as a failure, not as success.
const int kStartupFailed = 1;

struct SoundAsset {
  const wchar_t* path;
  const wchar_t* name;
};
const SoundAsset kSounds[] = {
    {L"sound\\bgm01.mp3", L"bgm001"}, {L"sound\\bgm02.mp3", L"bgm002"}, {L"sound\\bgm03.mp3", L"bgm003"},
    {L"sound\\bom2.mp3", L"hit"},     {L"sound\\SHOT.mp3", L"pow"},     {L"sound\\Loc2.mp3", L"loc"},
};

}  // namespace

HRESULT StartFactories(bool* comStarted) {
  *comStarted = false;
  HRESULT hr = CoInitialize(NULL);
  if (FAILED(hr)) return hr;
  *comStarted = true;
  hr = D2D1CreateFactory(D2D1_FACTORY_TYPE_MULTI_THREADED, __uuidof(ID2D1Factory), NULL,
                         reinterpret_cast<void**>(&g_d2dFactory));
  if (FAILED(hr)) return hr;
  hr = DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                           reinterpret_cast<IUnknown**>(&g_dwriteFactory));
  if (FAILED(hr)) return hr;
  return WicStartup();
}

void LoadImageAssets() {
  LoadImageFrame(L"images\\back01.png", &g_backgroundFrame);
  LoadImageFrame(L"images\\jiki1.png", &g_spriteFrame);
}

int LoadAssets() {
  try {
    LoadImageAssets();
  } catch (...) {
    MessageBoxW(NULL, L"画像ファイルが開けません", L"D2Dデモ", MB_OK);
    return 0;
  }
  try {
    for (const SoundAsset& sound : kSounds) DShowHLP::LoadSound(sound.path, sound.name);
  } catch (...) {
    MessageBoxW(NULL, L"サウンドファイルが開けません", L"D2Dデモ", MB_OK);
    return 0;
  }
  return 1;
}

namespace {

// Undoes what start-up did, in the shutdown's order, whether the message
// loop ran or a step of start-up failed; what was never made is skipped.
void ShutDown(HINSTANCE instance, bool comInitialized, bool lockInitialized) {
  if (g_timerQueue) DeleteTimerQueueEx(g_timerQueue, INVALID_HANDLE_VALUE);
  if (lockInitialized) DeleteCriticalSection(&g_renderLock);
  DiscardDeviceResources();
  if (g_backgroundFrame) g_backgroundFrame->Release();
  if (g_spriteFrame) g_spriteFrame->Release();
  DiscardDeviceIndependentResources();
  // Still open only when start-up failed after making it.
  HWND window = g_mainWindow;
  if (window && IsWindow(window)) DestroyWindow(window);
  UnregisterClassW(kWindowClassName, instance);
  DShowHLP::Cleanup();
  WicCleanup();
  if (g_dwriteFactory) g_dwriteFactory->Release();
  if (g_d2dFactory) g_d2dFactory->Release();
  if (comInitialized) CoUninitialize();
}

int FailStartup(HINSTANCE instance, bool comInitialized, bool lockInitialized) {
  ShutDown(instance, comInitialized, lockInitialized);
  return kStartupFailed;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int cmdShow) {
  bool comStarted = false;
  if (FAILED(StartFactories(&comStarted))) {
    return comStarted ? FailStartup(instance, true, false) : kStartupFailed;
  }
  DShowHLP::Startup();
  InitializeCriticalSection(&g_renderLock);
  if (!LoadAssets()) return FailStartup(instance, true, true);
  InitGameState();
  if (FAILED(CreateDeviceIndependentResources())) return FailStartup(instance, true, true);
  g_mainWindow = CreateMainWindow(instance);
  if (!g_mainWindow) return FailStartup(instance, true, true);

  // The first paint runs here, before the timer exists: it makes the
  // target-dependent resources and the first game frame.
  ShowWindow(g_mainWindow, cmdShow);
  UpdateWindow(g_mainWindow);

  g_timerQueue = CreateTimerQueue();
  if (!g_timerQueue) return FailStartup(instance, true, true);
  HANDLE timer = NULL;
  if (!CreateTimerQueueTimer(&timer, g_timerQueue, FrameTimerProc, NULL, 0, 33, WT_EXECUTEDEFAULT)) {
    return FailStartup(instance, true, true);
  }
  g_lastTickMs = timeGetTime();

  MSG msg;
  memset(&msg, 0, sizeof(msg));
  int exitCode = 0;
  for (;;) {
    BOOL got = GetMessageW(&msg, NULL, 0, 0);
    if (got == 0) {
      exitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (got == -1) {
      exitCode = kStartupFailed;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }

  ShutDown(instance, true, true);
  return exitCode;
}
