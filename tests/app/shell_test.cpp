// The shell's pieces in this process: keyboard latch, tick rule, glow
// strokes, geometry helpers and the making of the target-dependent set.
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "app/shell.h"
#include "memory_source.h"
#include "shell_start.h"
#include "vx_testing.h"
#include "vx_window.h"

namespace {

// COM, the factories and the device-independent set, on recording targets.
class ShellEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    vxtest::UseRecordingTargets(true);
    const char* failed = support::StartShell(false);
    ASSERT_EQ(failed, nullptr) << failed;
    InitializeCriticalSection(&g_renderLock);
  }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ShellEnvironment);

LRESULT CALLBACK QuietProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND MakeWindow() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = QuietProc;
    wc.lpszClassName = L"ShellTestWindow";
    registered = RegisterClassExW(&wc) != 0;
  }
  return CreateWindowExW(0, L"ShellTestWindow", L"test", WS_SYSMENU, 0, 0, 606, 749, NULL, NULL, NULL, NULL);
}

void Validate(HWND hwnd) {
  PAINTSTRUCT ps;
  BeginPaint(hwnd, &ps);
  EndPaint(hwnd, &ps);
}

TEST(Keyboard, PressIsReportedOncePerPressDespiteAutoRepeat) {
  struct Step {
    UINT message;  // 0: call KeyPressedOnce instead
    int expected;
  };
  const Step steps[] = {
      {0, 0},           // nothing held
      {WM_KEYDOWN, 0},  {0, 1}, {0, 0},
      {WM_KEYDOWN, 0},  {WM_KEYDOWN, 0}, {0, 0},  // auto-repeat does not re-arm
      {WM_KEYUP, 0},    {0, 0},
      {WM_KEYDOWN, 0},  {0, 1},                    // a new press does
      {WM_KEYDOWN, 0},  {WM_KEYUP, 0}, {WM_KEYDOWN, 0}, {0, 1},
      {WM_KEYUP, 0},
  };
  int i = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(i++);
    if (step.message) {
      EXPECT_EQ(MainWndProc(NULL, step.message, VK_SPACE, 0), 0);
    } else {
      EXPECT_EQ(KeyPressedOnce(VK_SPACE), step.expected);
    }
  }
  // A press released before the frame looks is never seen.
  MainWndProc(NULL, WM_KEYDOWN, VK_LEFT, 0);
  MainWndProc(NULL, WM_KEYUP, VK_LEFT, 0);
  EXPECT_EQ(KeyPressedOnce(VK_LEFT), 0);
}

// The shell's procedure, but for the paints and the quit its window's end posts.
LRESULT CALLBACK KeyboardProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT || message == WM_DESTROY) return DefWindowProcW(hwnd, message, wParam, lParam);
  return MainWndProc(hwnd, message, wParam, lParam);
}

// Keys let go while Alt is held come as system keystrokes, as do the
// releases sent when focus leaves on Alt+Tab: they let go all the same.
TEST(Keyboard, KeysLetGoWhileAltIsHeldAreLetGo) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = KeyboardProc;
  wc.lpszClassName = L"ShellTestMainWindow";
  ASSERT_NE(RegisterClassExW(&wc), 0);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"test", WS_SYSMENU, 0, 0, 606, 749, NULL, NULL, NULL, NULL);
  ASSERT_NE(hwnd, nullptr);
  const Uint32 windowId = SDL_GetWindowID(VxSdlWindowOf(hwnd));
  const UINT kGiveUp = WM_APP + 1;
  // Sends the keys through SDL and the message queue to MainWndProc; B
  // pressed last says that all before it has been dispatched.
  auto send = [&](std::initializer_list<std::pair<Uint32, SDL_Keycode>> keys, Uint16 mod) {
    for (auto [type, key] : keys) {
      SDL_Event e{};
      e.type = e.key.type = type;
      e.key.windowID = windowId;
      e.key.keysym.sym = key;
      e.key.keysym.mod = key == SDLK_LALT ? 0 : mod;
      ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    SDL_Event b{};
    b.type = b.key.type = SDL_KEYDOWN;
    b.key.windowID = windowId;
    b.key.keysym.sym = SDLK_b;
    ASSERT_EQ(SDL_PushEvent(&b), 1);
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
      for (int i = 0; i < 500 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (!done) PostMessageW(hwnd, kGiveUp, 0, 0);
    });
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0 && msg.message != kGiveUp) {
      DispatchMessageW(&msg);
      if (msg.message == WM_KEYDOWN && msg.wParam == 'B') break;
    }
    done = true;
    watchdog.join();
    ASSERT_NE(msg.message, kGiveUp) << "the keys never arrived";
  };

  send({{SDL_KEYDOWN, SDLK_RIGHT}, {SDL_KEYDOWN, SDLK_SPACE}}, 0);
  ASSERT_EQ(g_keyDown[VK_RIGHT], 1);
  ASSERT_EQ(KeyPressedOnce(VK_SPACE), 1);
  // Hold Alt, let go of Right and Space, press Left, let go of Alt.
  send({{SDL_KEYDOWN, SDLK_LALT}, {SDL_KEYUP, SDLK_RIGHT}, {SDL_KEYUP, SDLK_SPACE}, {SDL_KEYDOWN, SDLK_LEFT}},
       KMOD_LALT);
  send({{SDL_KEYUP, SDLK_LALT}}, 0);
  EXPECT_EQ(g_keyDown[VK_RIGHT], 0);
  EXPECT_EQ(g_keyDown[VK_SPACE], 0);
  EXPECT_EQ(g_keyLatched[VK_SPACE], 0);
  EXPECT_EQ(g_keyDown[VK_LEFT], 0);  // a press with Alt held is the system's
  send({{SDL_KEYDOWN, SDLK_SPACE}}, 0);
  EXPECT_EQ(KeyPressedOnce(VK_SPACE), 1);  // the next press fires
  send({{SDL_KEYUP, SDLK_SPACE}, {SDL_KEYUP, SDLK_LEFT}, {SDL_KEYUP, SDLK_b}}, 0);
  DestroyWindow(hwnd);
}

TEST(Keyboard, CodesPastTheArraysChangeNothing) {
  BYTE down[256], latched[256];
  memcpy(down, g_keyDown, sizeof(down));
  memcpy(latched, g_keyLatched, sizeof(latched));
  for (WPARAM code : {WPARAM(256), WPARAM(257), WPARAM(4096), ~WPARAM(0)}) {
    EXPECT_EQ(MainWndProc(NULL, WM_KEYDOWN, code, 0), 0);
    EXPECT_EQ(MainWndProc(NULL, WM_KEYUP, code, 0), 0);
  }
  EXPECT_EQ(memcmp(down, g_keyDown, sizeof(down)), 0);
  EXPECT_EQ(memcmp(latched, g_keyLatched, sizeof(latched)), 0);
  EXPECT_EQ(KeyPressedOnce(300), 0);
}

TEST(FramePacing, TickRequestsAFrameOnlyAfterTenMillisecondsAndWhileActive) {
  HWND hwnd = MakeWindow();
  ASSERT_NE(hwnd, nullptr);
  g_mainWindow = hwnd;
  struct Case {
    DWORD sincePrevious;
    bool inactive;
    bool expectFrame;
  };
  const Case cases[] = {
      {0, false, false}, {9, false, false}, {10, false, true}, {33, false, true},
      {33, true, false}, {500, true, false}, {12, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sincePrevious);
    MainWndProc(hwnd, WM_ACTIVATE, c.inactive ? MAKELONG(WA_INACTIVE, 1) : WA_ACTIVE, 0);
    Validate(hwnd);
    DWORD now = timeGetTime();
    g_lastTickMs = now - c.sincePrevious;  // wraps like the clock does
    FrameTimerProc(NULL, TRUE);
    EXPECT_EQ(vxtest::PaintPending(hwnd), c.expectFrame);
    // Every tick becomes the previous one, requested frame or not.
    EXPECT_LE(g_lastTickMs - now, 1000u);
  }
  MainWndProc(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
  DestroyWindow(hwnd);
  g_mainWindow = NULL;
}

TEST(Glow, ThreePassesWithTheSharedBrushAndRoundCaps) {
  ID2D1HwndRenderTarget* target = NULL;
  ASSERT_TRUE(SUCCEEDED(g_d2dFactory->CreateHwndRenderTarget(
      D2D1::RenderTargetProperties(), D2D1::HwndRenderTargetProperties(NULL, D2D1::SizeU(600, 720)), &target)));
  ASSERT_TRUE(SUCCEEDED(target->CreateSolidColorBrush(D2D1::ColorF(0.0f, 0.0f, 0.0f, 1.0f), &g_brush)));
  EXPECT_EQ(g_roundStroke->GetStartCap(), D2D1_CAP_STYLE_ROUND);
  EXPECT_EQ(g_roundStroke->GetEndCap(), D2D1_CAP_STYLE_ROUND);

  // The top byte is ignored: both colours draw the same.
  for (UINT32 color : {0x0FFF00u, 0xAB0FFF00u}) {
    SCOPED_TRACE(color);
    target->BeginDraw();
    DrawGlowLine(target, color, D2D1::Point2F(10, 20), D2D1::Point2F(10, 60));
    const auto& calls = vxtest::CurrentFrame(target);
    ASSERT_EQ(calls.size(), 3u);
    const float r = 15.0f / 255.0f;
    const struct {
      float r, g, a, width;
    } passes[] = {{r * 5, 5.0f, 0.5f, 8.0f}, {r, 1.0f, 0.7f, 4.0f}, {r, 1.0f, 1.0f, 2.0f}};
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(calls[i].op, vxtest::Op::DrawLine);
      EXPECT_FLOAT_EQ(calls[i].color.r, passes[i].r);
      EXPECT_FLOAT_EQ(calls[i].color.g, passes[i].g);
      EXPECT_FLOAT_EQ(calls[i].color.b, 0.0f);
      EXPECT_FLOAT_EQ(calls[i].color.a, passes[i].a);
      EXPECT_FLOAT_EQ(calls[i].strokeWidth, passes[i].width);
      EXPECT_EQ(calls[i].stroke, g_roundStroke);
      EXPECT_FLOAT_EQ(calls[i].p1.y, 60.0f);
    }
    EXPECT_NEAR(calls[0].color.r, 0.294f, 0.001f);
    D2D1_COLOR_F after = g_brush->GetColor();
    EXPECT_FLOAT_EQ(after.g, 1.0f);
    EXPECT_FLOAT_EQ(after.a, 1.0f);
    EXPECT_TRUE(SUCCEEDED(target->EndDraw()));
  }

  // The siblings stroke their own shapes the same way.
  target->BeginDraw();
  DrawGlowEllipse(target, 0xFF0000, D2D1::Ellipse(D2D1::Point2F(5, 5), 3, 4));
  DrawGlowRect(target, 0xFF0000, D2D1::RectF(1, 2, 3, 4));
  DrawGlowRoundedRect(target, 0xFF0000, D2D1::RectF(1, 2, 30, 40));
  const auto& calls = vxtest::CurrentFrame(target);
  ASSERT_EQ(calls.size(), 9u);
  EXPECT_EQ(calls[0].op, vxtest::Op::DrawEllipse);
  EXPECT_EQ(calls[3].op, vxtest::Op::DrawRectangle);
  EXPECT_EQ(calls[6].op, vxtest::Op::DrawRoundedRectangle);
  EXPECT_FLOAT_EQ(calls[8].rounded.radiusX, 4.0f);
  EXPECT_FLOAT_EQ(calls[8].rounded.radiusY, 4.0f);
  EXPECT_FLOAT_EQ(calls[8].rounded.rect.right, 30.0f);
  EXPECT_FLOAT_EQ(calls[6].color.r, 5.0f);
  target->EndDraw();

  ID2D1LinearGradientBrush* fade = NULL;
  EXPECT_EQ(CreateFadeGradientBrush(target, D2D1::ColorF(0.2f, 0.4f, 0.6f), &fade), S_OK);
  ASSERT_NE(fade, nullptr);
  EXPECT_FLOAT_EQ(fade->GetEndPoint().x, 6.0f);
  fade->Release();
  g_brush->Release();
  g_brush = NULL;
  target->Release();
}

TEST(Geometry, RotateTurnsClockwiseInWindowCoordinates) {
  const struct {
    float x, y, degrees, ex, ey;
  } cases[] = {{1, 0, 90, 0, 1}, {1, 0, 0, 1, 0}, {0, 2, 90, -2, 0}, {3, 4, 180, -3, -4}};
  for (const auto& c : cases) {
    float x = c.x, y = c.y;
    RotatePoint(&x, &y, c.degrees);
    EXPECT_NEAR(x, c.ex, 1e-5f);
    EXPECT_NEAR(y, c.ey, 1e-5f);
  }
  float x, y;
  AddPoints(1.5f, 2, 3, -4, &x, &y);
  EXPECT_EQ(x, 4.5f);
  EXPECT_EQ(y, -2.0f);
  SubtractPoints(1.5f, 2, 3, -4, &x, &y);
  EXPECT_EQ(x, -1.5f);
  EXPECT_EQ(y, 6.0f);
}

TEST(DeviceResources, MissingPiecesAreMadeLaterAndNeverDrawnWithout) {
  HWND hwnd = MakeWindow();
  ASSERT_NE(hwnd, nullptr);
  // Frames whose pixels can be refused, to fail bitmap creation.
  auto* sprite = new support::MemorySource(4, 4, std::vector<uint8_t>(64, 0xFF), GUID_WICPixelFormat32bppBGRA);
  auto* background = new support::MemorySource(4, 4, std::vector<uint8_t>(64, 0xFF), GUID_WICPixelFormat32bppBGRA);
  g_spriteFrame = reinterpret_cast<IWICBitmapFrameDecode*>(static_cast<IWICBitmapSource*>(sprite));
  g_backgroundFrame = reinterpret_cast<IWICBitmapFrameDecode*>(static_cast<IWICBitmapSource*>(background));

  DiscardDeviceResources();  // with nothing made: nothing happens
  EXPECT_EQ(g_renderTarget, nullptr);

  sprite->copyResult = E_FAIL;
  EXPECT_TRUE(FAILED(CreateDeviceResources(hwnd)));
  ASSERT_NE(g_renderTarget, nullptr);  // the target stays...
  EXPECT_EQ(g_spriteBitmap, nullptr);
  EXPECT_EQ(g_backgroundBitmap, nullptr);  // ...and nothing after the failure was tried
  EXPECT_EQ(g_brush, nullptr);
  ID2D1HwndRenderTarget* target = g_renderTarget;
  OnPaint(hwnd);  // draws nothing while a piece is missing
  EXPECT_EQ(vxtest::FramesDrawn(target), 0u);

  sprite->copyResult = S_OK;
  EXPECT_EQ(CreateDeviceResources(hwnd), S_OK);
  EXPECT_EQ(g_renderTarget, target);
  EXPECT_NE(g_spriteBitmap, nullptr);
  EXPECT_NE(g_backgroundBitmap, nullptr);
  ASSERT_NE(g_brush, nullptr);
  D2D1_COLOR_F black = g_brush->GetColor();
  EXPECT_EQ(black.r + black.g + black.b, 0.0f);
  EXPECT_EQ(black.a, 1.0f);
  OnPaint(hwnd);
  EXPECT_EQ(vxtest::FramesDrawn(target), 1u);

  DiscardDeviceResources();
  EXPECT_EQ(g_renderTarget, nullptr);
  EXPECT_EQ(g_brush, nullptr);
  EXPECT_EQ(g_spriteBitmap, nullptr);
  EXPECT_EQ(g_backgroundBitmap, nullptr);
  g_spriteFrame = g_backgroundFrame = NULL;
  sprite->Release();
  background->Release();
  DestroyWindow(hwnd);
}

}  // namespace
