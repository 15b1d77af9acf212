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

int LoadAssets() {
  try {
    LoadImageFrame(L"images\\back01.png", &g_backgroundFrame);
    LoadImageFrame(L"images\\jiki1.png", &g_spriteFrame);
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

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int cmdShow) {
  if (FAILED(CoInitialize(NULL))) return kStartupFailed;
  if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_MULTI_THREADED, __uuidof(ID2D1Factory), NULL,
                               reinterpret_cast<void**>(&g_d2dFactory)))) {
    return kStartupFailed;
  }
  if (FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                 reinterpret_cast<IUnknown**>(&g_dwriteFactory)))) {
    return kStartupFailed;
  }
  if (FAILED(WicStartup())) return kStartupFailed;
  DShowHLP::Startup();
  InitializeCriticalSection(&g_renderLock);
  if (!LoadAssets()) return kStartupFailed;
  InitGameState();
  if (FAILED(CreateDeviceIndependentResources())) return kStartupFailed;
  g_mainWindow = CreateMainWindow(instance);
  if (!g_mainWindow) return kStartupFailed;

  // The first paint runs here, before the timer exists: it makes the
  // target-dependent resources and the first game frame.
  ShowWindow(g_mainWindow, cmdShow);
  UpdateWindow(g_mainWindow);

  g_timerQueue = CreateTimerQueue();
  if (!g_timerQueue) return kStartupFailed;  // shutdown could not delete a timer that landed elsewhere
  HANDLE timer = NULL;
  if (!CreateTimerQueueTimer(&timer, g_timerQueue, FrameTimerProc, NULL, 0, 33, WT_EXECUTEDEFAULT)) {
    return kStartupFailed;
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

  DeleteTimerQueueEx(g_timerQueue, INVALID_HANDLE_VALUE);
  DeleteCriticalSection(&g_renderLock);
  DiscardDeviceResources();
  if (g_backgroundFrame) g_backgroundFrame->Release();
  if (g_spriteFrame) g_spriteFrame->Release();
  DiscardDeviceIndependentResources();
  UnregisterClassW(kWindowClassName, instance);
  DShowHLP::Cleanup();
  WicCleanup();
  g_dwriteFactory->Release();
  g_d2dFactory->Release();
  CoUninitialize();
  return exitCode;
}
