// Windows, the message queue and keyboard translation, on SDL's offscreen driver.
#include <windows.h>

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "vx_support.h"
#include "vx_window.h"

namespace {

constexpr UINT kMarker = WM_APP + 1;
constexpr UINT kTimeout = WM_APP + 0x7FF;
const wchar_t kClass[] = L"vx_test_window";

struct Logged {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Logged> g_log;
bool g_quitOnDestroy = false;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  g_log.push_back({message, wParam, lParam});
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      if (g_quitOnDestroy) PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// Posts kTimeout unless cancelled first, so a GetMessageW that should return
// at once fails the test instead of hanging it.
class Watchdog {
 public:
  explicit Watchdog(int ms) : thread_([this, ms] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return cancelled_; })) {
        PostMessageW(nullptr, kTimeout, 0, 0);
      }
    }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      cancelled_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool cancelled_ = false;
  std::thread thread_;
};

// Fetches and dispatches one message; returns GetMessageW's result.
BOOL Pump(MSG* msg, int watchdogMs = 3000) {
  Watchdog watchdog(watchdogMs);
  BOOL result = GetMessageW(msg, nullptr, 0, 0);
  if (result > 0) {
    TranslateMessage(msg);
    DispatchMessageW(msg);
  }
  return result;
}

class Win32Messages : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = kClass;
    ASSERT_NE(RegisterClassExW(&wc), 0);
  }
  static void TearDownTestSuite() { UnregisterClassW(kClass, nullptr); }

  void SetUp() override {
    g_log.clear();
    g_quitOnDestroy = false;
    hwnd_ = CreateWindowExW(0, kClass, L"test", WS_SYSMENU, 10, 10, 200, 150, nullptr, nullptr, nullptr,
                            nullptr);
    ASSERT_NE(hwnd_, nullptr);
  }
  void TearDown() override {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
    Drain();
  }
  // Runs the queue dry: everything pending is fetched and dispatched.
  static void Drain() {
    PostMessageW(nullptr, kMarker, 0xD0, 0);
    MSG msg;
    while (Pump(&msg) != 0 && !(msg.message == kMarker && msg.wParam == 0xD0) && msg.message != kTimeout) {
    }
  }
  void Validate() {
    PAINTSTRUCT ps;
    BeginPaint(hwnd_, &ps);
    EndPaint(hwnd_, &ps);
  }

  HWND hwnd_ = nullptr;
};

TEST_F(Win32Messages, PriorityOrderAndPaintCoalescing) {
  enum Op { Post, Quit, Invalidate };
  struct Step {
    Op op;
    int value;
  };
  // Expected fetches: a posted kMarker with wParam n is "n", the quit
  // message "Q" with its code, a paint "P".
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::pair<char, int>> expected;
  };
  const Case cases[] = {
      {"posted messages come before quit, even posted after it",
       {{Post, 1}, {Quit, 5}, {Post, 2}},
       {{'n', 1}, {'n', 2}, {'Q', 5}}},
      {"paint is lowest, after quit",
       {{Invalidate, 0}, {Post, 3}, {Quit, 9}},
       {{'n', 3}, {'Q', 9}, {'P', 0}}},
      {"invalidations coalesce into one paint",
       {{Invalidate, 0}, {Invalidate, 0}, {Invalidate, 0}},
       {{'P', 0}}},
      {"no paint until invalidated", {{Post, 4}}, {{'n', 4}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Validate();
    for (const Step& s : c.steps) {
      if (s.op == Post) {
        ASSERT_TRUE(PostMessageW(hwnd_, kMarker, s.value, 0));
      } else if (s.op == Quit) {
        PostQuitMessage(s.value);
      } else {
        ASSERT_TRUE(InvalidateRect(hwnd_, nullptr, FALSE));
      }
    }
    for (const auto& e : c.expected) {
      MSG msg;
      BOOL result = Pump(&msg);
      if (e.first == 'Q') {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(msg.message, (UINT)WM_QUIT);
      } else {
        EXPECT_EQ(result, 1);
        EXPECT_EQ(msg.message, e.first == 'P' ? (UINT)WM_PAINT : kMarker);
      }
      if (e.first != 'P') {
        EXPECT_EQ(msg.wParam, (WPARAM)e.second);
      }
    }
    // Nothing else was pending: the next fetch is a fresh marker.
    PostMessageW(hwnd_, kMarker, 77, 0);
    MSG msg;
    EXPECT_EQ(Pump(&msg), 1);
    EXPECT_EQ(msg.message, kMarker);
    EXPECT_EQ(msg.wParam, (WPARAM)77);
  }
}

TEST_F(Win32Messages, OtherThreadWakesBlockedLoop) {
  struct Case {
    const char* name;
    UINT expected;
    void (*produce)(HWND);
  };
  const Case cases[] = {
      {"InvalidateRect", WM_PAINT, [](HWND h) { InvalidateRect(h, nullptr, FALSE); }},
      {"PostMessageW", kMarker, [](HWND h) { PostMessageW(h, kMarker, 0, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Validate();
    std::atomic<bool> produced{false};
    std::thread producer([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
      produced = true;
      c.produce(hwnd_);
    });
    auto start = std::chrono::steady_clock::now();
    MSG msg;
    EXPECT_EQ(Pump(&msg), 1);
    auto waited = std::chrono::steady_clock::now() - start;
    producer.join();
    EXPECT_TRUE(produced.load());
    EXPECT_EQ(msg.message, c.expected);
    // The loop's own safety-net timeout is a second: far beyond this bound.
    EXPECT_LT(waited, std::chrono::milliseconds(700));
  }
}

TEST_F(Win32Messages, UpdateWindowPaintsAtOnceOnlyWhenPending) {
  // A new window starts invalid: UpdateWindow paints it without the loop.
  ASSERT_TRUE(UpdateWindow(hwnd_));
  ASSERT_EQ(g_log.size(), 1u);
  EXPECT_EQ(g_log[0].message, (UINT)WM_PAINT);
  ASSERT_TRUE(UpdateWindow(hwnd_));
  EXPECT_EQ(g_log.size(), 1u);
}

TEST_F(Win32Messages, SdlCloseBecomesCloseThenDestroyThenQuit) {
  g_quitOnDestroy = true;
  SDL_Window* sdl = VxSdlWindowOf(hwnd_);
  ASSERT_NE(sdl, nullptr);
  SDL_Event close;
  SDL_zero(close);
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = SDL_GetWindowID(sdl);
  ASSERT_EQ(SDL_PushEvent(&close), 1);

  MSG msg;
  do {
    ASSERT_EQ(Pump(&msg), 1);
  } while (msg.message != WM_CLOSE && msg.message != kTimeout);
  ASSERT_EQ(msg.message, (UINT)WM_CLOSE);
  EXPECT_EQ(msg.hwnd, hwnd_);
  ASSERT_GE(g_log.size(), 2u);
  EXPECT_EQ(g_log[g_log.size() - 2].message, (UINT)WM_CLOSE);
  EXPECT_EQ(g_log.back().message, (UINT)WM_DESTROY);

  // The handle is dead and stays dead for every entry point.
  EXPECT_FALSE(IsWindow(hwnd_));
  EXPECT_FALSE(InvalidateRect(hwnd_, nullptr, FALSE));
  EXPECT_FALSE(PostMessageW(hwnd_, kMarker, 0, 0));
  EXPECT_EQ(VxSdlWindowOf(hwnd_), nullptr);
  EXPECT_FALSE(VxClientSizeOf(hwnd_, nullptr, nullptr));
  EXPECT_EQ(Pump(&msg), 0);
  EXPECT_EQ(msg.message, (UINT)WM_QUIT);
}

TEST_F(Win32Messages, KeysMapToVirtualKeys) {
  SDL_Window* sdl = VxSdlWindowOf(hwnd_);
  ASSERT_NE(sdl, nullptr);
  auto push = [&](Uint32 type, SDL_Keycode key, int repeat, Uint16 mod) {
    SDL_Event e;
    SDL_zero(e);
    e.type = type;
    e.key.type = type;
    e.key.windowID = SDL_GetWindowID(sdl);
    e.key.repeat = static_cast<Uint8>(repeat);
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  };
  struct Case {
    SDL_Keycode key;
    Uint16 mod;
    WPARAM vk;  // 0: the key sends nothing
    bool system;
  };
  const Case cases[] = {
      {SDLK_LEFT, 0, VK_LEFT, false},      {SDLK_RIGHT, 0, VK_RIGHT, false},
      {SDLK_UP, 0, VK_UP, false},          {SDLK_DOWN, 0, VK_DOWN, false},
      {SDLK_SPACE, 0, VK_SPACE, false},    {SDLK_a, 0, 'A', false},
      {SDLK_z, 0, 'Z', false},             {SDLK_0, 0, '0', false},
      {SDLK_9, 0, '9', false},             {SDLK_F1, 0, VK_F1, false},
      {SDLK_F12, 0, VK_F12, false},        {SDLK_ESCAPE, 0, VK_ESCAPE, false},
      {SDLK_RETURN, 0, VK_RETURN, false},  {SDLK_RSHIFT, 0, VK_SHIFT, false},
      {SDLK_LCTRL, 0, VK_CONTROL, false},  {SDLK_LALT, KMOD_LALT, VK_MENU, true},
      {SDLK_x, KMOD_RALT, 'X', true},      {SDLK_CAPSLOCK, 0, 0, false},
      {SDLK_MUTE, 0, 0, false},
  };
  const SDL_Keycode sentinel = SDLK_b;
  for (const Case& c : cases) {
    SCOPED_TRACE(SDL_GetKeyName(c.key));
    g_log.clear();
    push(SDL_KEYDOWN, c.key, 0, c.mod);
    push(SDL_KEYDOWN, c.key, 1, c.mod);
    push(SDL_KEYUP, c.key, 0, c.mod);
    push(SDL_KEYDOWN, sentinel, 0, 0);
    MSG msg;
    do {
      ASSERT_EQ(Pump(&msg), 1);
    } while (!(msg.message == WM_KEYDOWN && msg.wParam == 'B') && msg.message != kTimeout);

    std::vector<Logged> keys;
    for (const Logged& l : g_log) {
      if (l.message >= WM_KEYDOWN && l.message <= WM_SYSKEYUP && l.wParam != 'B') keys.push_back(l);
    }
    size_t expectedCount = c.vk ? 3 : 0;
    ASSERT_EQ(keys.size(), expectedCount);
    if (c.vk) {
      UINT down = c.system ? WM_SYSKEYDOWN : WM_KEYDOWN;
      UINT up = c.system ? WM_SYSKEYUP : WM_KEYUP;
      const UINT messages[3] = {down, down, up};
      for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(keys[i].message, messages[i]);
        EXPECT_EQ(keys[i].wParam, c.vk);
      }
      // Previous-state bit: clear on the first press, set on the repeat and release.
      EXPECT_EQ(keys[0].lParam & (1 << 30), 0);
      EXPECT_NE(keys[1].lParam & (1 << 30), 0);
      EXPECT_NE(keys[2].lParam & (1u << 31), 0u);
    }
    push(SDL_KEYUP, sentinel, 0, 0);
  }
}

// The game's frame timer: a worker thread invalidates and posts while the
// UI thread pumps, and keeps doing so after the window is gone.
struct TimerTraffic {
  std::atomic<HWND> hwnd{nullptr};
  std::atomic<int> ticks{0};
  std::atomic<int> refusedAfterDestroy{0};
  std::atomic<bool> destroyed{false};
};

void CALLBACK TrafficTick(PVOID parameter, BOOLEAN) {
  auto* t = static_cast<TimerTraffic*>(parameter);
  bool destroyed = t->destroyed.load();
  BOOL invalidated = InvalidateRect(t->hwnd.load(), nullptr, FALSE);
  if (++t->ticks % 4 == 0) PostMessageW(t->hwnd.load(), kMarker, 1, 0);
  if (destroyed && !invalidated) ++t->refusedAfterDestroy;
}

TEST_F(Win32Messages, TimerThreadTrafficWhileThePumpRuns) {
  TimerTraffic traffic;
  traffic.hwnd = hwnd_;
  HANDLE queue = CreateTimerQueue();
  HANDLE timer = nullptr;
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, TrafficTick, &traffic, 0, 2, WT_EXECUTEDEFAULT));
  int paints = 0, markers = 0;
  MSG msg;
  while (paints < 25) {
    ASSERT_EQ(Pump(&msg), 1);
    ASSERT_NE(msg.message, kTimeout);
    paints += msg.message == WM_PAINT;
    markers += msg.message == kMarker;
  }
  // Invalidations merge: never more paints than ticks asked for.
  EXPECT_LE(paints, traffic.ticks.load() + 1);
  EXPECT_GT(markers, 0);
  traffic.destroyed = true;
  ASSERT_TRUE(DestroyWindow(hwnd_));
  int ticksAtDestroy = traffic.ticks.load();
  while (traffic.ticks.load() < ticksAtDestroy + 5) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_TRUE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
  EXPECT_GE(traffic.refusedAfterDestroy.load(), 4);
}

TEST(Win32Window, GameFormulaGivesTheClientSize) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"vx_size_class";
  ASSERT_NE(RegisterClassExW(&wc), 0);
  EXPECT_EQ(RegisterClassExW(&wc), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_CLASS_ALREADY_EXISTS);

  RECT work{};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_GT(work.right, 0);
  EXPECT_GT(work.bottom, 0);
  struct Case {
    int clientW, clientH;
  };
  for (Case c : {Case{600, 720}, Case{320, 240}}) {
    int width = 2 * GetSystemMetrics(SM_CXDLGFRAME) + c.clientW;
    int height = GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYDLGFRAME) + c.clientH;
    int x = work.right / 2 - width / 2;
    int y = work.bottom / 2 - height / 2;
    HWND hwnd = CreateWindowExW(0, L"vx_size_class", L"D2Dデモ \U0001F680", WS_SYSMENU | WS_MINIMIZEBOX, x, y,
                                width, height, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    RECT client{};
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    EXPECT_EQ(client.right - client.left, c.clientW);
    EXPECT_EQ(client.bottom - client.top, c.clientH);
    int w = 0, h = 0;
    ASSERT_TRUE(VxClientSizeOf(hwnd, &w, &h));
    SDL_Window* sdl = VxSdlWindowOf(hwnd);
    ASSERT_NE(sdl, nullptr);
    int sw = 0, sh = 0, sx = 0, sy = 0;
    SDL_GetWindowSize(sdl, &sw, &sh);
    SDL_GetWindowPosition(sdl, &sx, &sy);
    EXPECT_EQ(w, c.clientW);
    EXPECT_EQ(h, c.clientH);
    EXPECT_EQ(sw, c.clientW);
    EXPECT_EQ(sh, c.clientH);
    EXPECT_EQ(sx, x);
    EXPECT_EQ(sy, y);
    Uint32 flags = SDL_GetWindowFlags(sdl);
    EXPECT_TRUE(flags & SDL_WINDOW_OPENGL);
    EXPECT_FALSE(flags & SDL_WINDOW_RESIZABLE);
    EXPECT_STREQ(SDL_GetWindowTitle(sdl), "D2D\xE3\x83\x87\xE3\x83\xA2 \xF0\x9F\x9A\x80");
    EXPECT_TRUE(DestroyWindow(hwnd));
  }
  EXPECT_TRUE(UnregisterClassW(L"vx_size_class", nullptr));
  EXPECT_NE(RegisterClassExW(&wc), 0);
  EXPECT_TRUE(UnregisterClassW(L"vx_size_class", nullptr));
}

TEST(Win32Window, MessageBoxUnderOffscreenReturnsAtOnce) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  ::testing::internal::CaptureStderr();
  int result = MessageBoxW(nullptr, L"画像ファイルが開けません", L"D2Dデモ", MB_OK);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(err, "D2Dデモ: 画像ファイルが開けません\n");
}

TEST(Win32Window, PathsTurnBackslashesIntoSlashes) {
  struct Case {
    const wchar_t* in;
    const char* out;
  };
  const Case cases[] = {
      {L"images\\back01.png", "images/back01.png"},
      {L"sound\\ショット.mp3", "sound/\xE3\x82\xB7\xE3\x83\xA7\xE3\x83\x83\xE3\x83\x88.mp3"},
      {L"a/b\\c", "a/b/c"},
      {L"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(VxPathToUtf8(c.in), c.out);
  EXPECT_EQ(VxPathToUtf8(nullptr), "");
}

}  // namespace
