// Message boxes on a real X display (Xvfb): drawn with the platform's own
// text layer, dismissed by Enter, Escape, a click on OK or closing the box,
// and never outliving the process. Each case runs in a child process of its
// own, on a display of its own; without Xvfb the cases are skipped.
#include <SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/shell.h"
#include "vx_support.h"
#include "vx_window.h"
#include "tests/support/capture_stderr.h"
#include "display_servers.h"
#include "vx_testing.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMaxSide = 1024;

// Between a child and the test, in memory both see.
struct Shared {
  int shown;                 // the box's first frame is drawn
  int result;                // what MessageBoxW returned
  long liveAfter;            // platform COM objects left once it returned
  int ownerKeys, ownerPosts; // what the box's owner was given meanwhile
  int quitCode;              // the caller's loop's WM_QUIT (-1: none)
  uint8_t ownerPixel[4];     // the owner's drawing after the box
  int width, height;         // of the box's picture
  uint8_t box[kMaxSide * 512 * 4];        // the box's picture, RGBA
  uint8_t reference[kMaxSide * 512 * 4];  // the text layer's own rendering of its text
};
Shared* TheShared() {
  static Shared* shared = static_cast<Shared*>(
      mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  return shared;
}

struct Outcome {
  bool exited = false;
  int code = -1, signal = 0;
  std::string err;
};

// Runs body in a child with SDL's video driver (null: SDL's choice) and X
// display (empty: none), in a process group of its own; at shown (if given)
// the test acts on the running child. Killed after 30 s.
Outcome RunChild(const char* driver, const std::string& display, const std::function<int()>& body,
                 const std::function<void(pid_t)>& shown = nullptr) {
  memset(TheShared(), 0, sizeof(Shared));
  const std::string errFile = fs::current_path() / "child_stderr.txt";
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    if (!freopen(errFile.c_str(), "w", stderr)) _exit(90);
    displays::UseDisplay(driver, display);
    int code = body();
    fflush(nullptr);
    _exit(code);
  }
  setpgid(pid, pid);
  Outcome out;
  int status = 0;
  bool acted = false;
  for (auto start = std::chrono::steady_clock::now();;) {
    if (waitpid(pid, &status, WNOHANG) == pid) break;
    if (shown && !acted && TheShared()->shown) {
      acted = true;
      shown(pid);
    }
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(30)) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << "the child did not end";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  out.exited = WIFEXITED(status);
  out.code = out.exited ? WEXITSTATUS(status) : -1;
  out.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  std::ifstream in(errFile);
  out.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return out;
}

// What the child does once the box is up, set before the box is shown.
std::function<void(HWND)> g_act;

void OnShown(HWND box) {
  Shared* s = TheShared();
  std::vector<uint8_t> rgba;
  if (vxtest::ReadWindowPixels(box, rgba, &s->width, &s->height) && s->width <= kMaxSide && s->height <= 512) {
    memcpy(s->box, rgba.data(), rgba.size());
  }
  s->shown = 1;
  if (g_act) g_act(box);
}

void PushKey(HWND window, SDL_Keycode key) {
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.windowID = SDL_GetWindowID(VxSdlWindowOf(window));
  e.key.keysym.sym = key;
  SDL_PushEvent(&e);
  e.type = SDL_KEYUP;
  SDL_PushEvent(&e);
}

// The box's text as the text layer draws it on its own: black on white, in
// the box's face and size, from the box's margin, on a window of the box's size.
void RenderReference(const wchar_t* text, int width, int height) {
  Shared* s = TheShared();
  ID2D1Factory* factory = nullptr;
  IDWriteFactory* dwrite = nullptr;
  IDWriteTextFormat* format = nullptr;
  ID2D1HwndRenderTarget* target = nullptr;
  ID2D1SolidColorBrush* brush = nullptr;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"Reference";
  RegisterClassExW(&wc);
  HWND hwnd = CreateWindowExW(0, L"Reference", L"", 0, 0, 0, width + 6, height + 29, nullptr, nullptr, nullptr,
                              nullptr);
  if (hwnd && SUCCEEDED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr,
                                          reinterpret_cast<void**>(&factory))) &&
      SUCCEEDED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                    reinterpret_cast<IUnknown**>(&dwrite))) &&
      SUCCEEDED(dwrite->CreateTextFormat(L"メイリオ", nullptr, DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STYLE_NORMAL,
                                         DWRITE_FONT_STRETCH_NORMAL, 16.0f, L"", &format)) &&
      SUCCEEDED(factory->CreateHwndRenderTarget(
          D2D1::RenderTargetProperties(), D2D1::HwndRenderTargetProperties(hwnd, D2D1::SizeU(width, height)),
          &target)) &&
      SUCCEEDED(target->CreateSolidColorBrush(D2D1::ColorF(0x000000), &brush))) {
    target->BeginDraw();
    target->Clear(D2D1::ColorF(0xFFFFFF));
    target->DrawText(text, UINT32(wcslen(text)), format, D2D1::RectF(24, 24, width - 24, height), brush);
    target->EndDraw();
    std::vector<uint8_t> rgba;
    int w = 0, h = 0;
    if (vxtest::ReadWindowPixels(hwnd, rgba, &w, &h) && w == width && h == height) {
      memcpy(s->reference, rgba.data(), rgba.size());
    }
  }
  for (IUnknown* p : {static_cast<IUnknown*>(brush), static_cast<IUnknown*>(target),
                      static_cast<IUnknown*>(format), static_cast<IUnknown*>(dwrite),
                      static_cast<IUnknown*>(factory)}) {
    if (p) p->Release();
  }
  if (hwnd) DestroyWindow(hwnd);
}

// Writes an RGBA picture as a PPM, for a person to look at.
void SavePicture(const std::string& path, const uint8_t* rgba, int width, int height) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << width << " " << height << "\n255\n";
  for (int i = 0; i < width * height; ++i) out.write(reinterpret_cast<const char*>(rgba + 4 * i), 3);
}

// Dark pixels of the box's picture in [x0, x1) x [y0, y1).
int InkIn(int x0, int y0, int x1, int y1) {
  const Shared* s = TheShared();
  int ink = 0;
  for (int y = std::max(0, y0); y < std::min(y1, s->height); ++y) {
    for (int x = std::max(0, x0); x < std::min(x1, s->width); ++x) ink += s->box[(y * s->width + x) * 4] < 128;
  }
  return ink;
}

// Where the OK button is in the box's picture: its blue frame.
SDL_Rect ButtonInPicture() {
  const Shared* s = TheShared();
  int left = s->width, right = -1, top = s->height, bottom = -1;
  for (int y = 0; y < s->height; ++y) {
    for (int x = 0; x < s->width; ++x) {
      const uint8_t* p = &s->box[(y * s->width + x) * 4];
      if (p[0] == 0x00 && p[1] == 0x78 && p[2] == 0xD7) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
    }
  }
  return SDL_Rect{left, top, right - left + 1, bottom - top + 1};
}

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (xvfb_.display().empty()) GTEST_SKIP() << "no Xvfb here";
  }
  displays::Xvfb xvfb_;
};

// The game without its sprite sheet, on a real display: the loader names the
// file, the caption line is out before the box is up, the box shows the
// message as the text layer draws it, and Enter ends it all with exit code 1.
TEST_F(MessageBoxTest, MissingImageBoxShowsTheTextAndEnterClosesIt) {
  fs::path dir = fs::current_path() / "box_missing_image";
  fs::remove_all(dir);
  fs::create_directories(dir / "images");
  fs::copy_file(fs::path(VX_ASSETS_DIR) / "images" / "back01.png", dir / "images" / "back01.png");
  const std::string caption = "D2Dデモ: 画像ファイルが開けません\n";
  std::string saidBeforeTheBox;
  Outcome out = RunChild(
      nullptr, xvfb_.display(),
      [&] {
        if (chdir(dir.c_str()) != 0) return 90;
        g_act = [](HWND box) {
          RenderReference(L"画像ファイルが開けません", TheShared()->width, TheShared()->height - 52);
          PushKey(box, SDLK_RETURN);
        };
        vxtest::OnMessageBoxShown(OnShown);
        return WinMain(reinterpret_cast<HINSTANCE>(1), nullptr, const_cast<char*>(""), SW_SHOWDEFAULT);
      },
      [&](pid_t) {
        std::ifstream in(fs::current_path() / "child_stderr.txt");
        saidBeforeTheBox.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      });
  EXPECT_TRUE(out.exited);
  EXPECT_EQ(out.code, 1) << out.err;
  EXPECT_EQ(out.err, support::ProgramPrefix() + "images/jiki1.png: not found\n" + caption);
  EXPECT_NE(saidBeforeTheBox.find(caption), std::string::npos) << saidBeforeTheBox;
  const Shared* s = TheShared();
  ASSERT_EQ(s->shown, 1);
  ASSERT_GT(s->width, 0);
  SavePicture("message_box.ppm", s->box, s->width, s->height);
  // Above the button's strip the box is the reference, pixel for pixel but
  // for a little antialiasing slack; and the text is really there.
  int past = 0;
  for (int y = 0; y < s->height - 52; ++y) {
    for (int x = 0; x < s->width; ++x) {
      const uint8_t* a = &s->box[(y * s->width + x) * 4];
      const uint8_t* b = &s->reference[(y * s->width + x) * 4];
      past += std::abs(a[0] - b[0]) > 8 || std::abs(a[1] - b[1]) > 8 || std::abs(a[2] - b[2]) > 8;
    }
  }
  EXPECT_EQ(past, 0);
  EXPECT_GT(InkIn(0, 0, s->width, s->height - 52), 400);  // twelve CJK glyphs' worth of dark pixels
}

// Escape, a click on OK and closing the box each end it with IDOK. The text
// has a line too long for the box, which is broken to fit above the button.
TEST_F(MessageBoxTest, EscapeClickAndCloseDismissIt) {
  const wchar_t* text =
      L"一行目\r\n設定ファイルの内容が正しくありません。もう一度インストールしてから起動してください。"
      L"それでも直らないときは、お使いの環境をお知らせください。";
  const std::pair<const char*, void (*)(HWND)> ways[] = {
      {"escape", [](HWND box) { PushKey(box, SDLK_ESCAPE); }},
      {"click on OK",
       [](HWND box) {
         const SDL_Rect button = ButtonInPicture();
         SDL_Event e{};
         e.type = SDL_MOUSEBUTTONDOWN;
         e.button.windowID = SDL_GetWindowID(VxSdlWindowOf(box));
         e.button.button = SDL_BUTTON_LEFT;
         e.button.x = button.x + button.w / 2;
         e.button.y = button.y + button.h / 2;
         SDL_PushEvent(&e);
         e.type = SDL_MOUSEBUTTONUP;
         SDL_PushEvent(&e);
       }},
      {"close", [](HWND box) {
         SDL_Event e{};
         e.type = SDL_WINDOWEVENT;
         e.window.event = SDL_WINDOWEVENT_CLOSE;
         e.window.windowID = SDL_GetWindowID(VxSdlWindowOf(box));
         SDL_PushEvent(&e);
       }},
  };
  for (const auto& [name, act] : ways) {
    SCOPED_TRACE(name);
    Outcome out = RunChild(nullptr, xvfb_.display(), [act = act, text] {
      g_act = act;
      vxtest::OnMessageBoxShown(OnShown);
      TheShared()->result = MessageBoxW(nullptr, text, L"見出し", MB_OK);
      TheShared()->liveAfter = vxtest::LiveComObjects();
      return 0;
    });
    EXPECT_EQ(out.code, 0) << out.err;
    EXPECT_EQ(TheShared()->shown, 1);
    EXPECT_EQ(TheShared()->result, IDOK);
    EXPECT_EQ(TheShared()->liveAfter, 0);
    EXPECT_EQ(out.err, "見出し: " + VxUtf32ToUtf8(text).replace(9, 2, " ") + "\n");
    // Nothing runs past the right margin or into the button's strip.
    const Shared* s = TheShared();
    EXPECT_LE(s->width, 900);
    EXPECT_GT(InkIn(0, s->height - 52 - 40, s->width, s->height - 52), 0);
    EXPECT_EQ(InkIn(s->width - 20, 0, s->width, s->height - 52), 0);
    EXPECT_EQ(InkIn(0, s->height - 52, ButtonInPicture().x, s->height), 0);
  }
}

// A box with an owner keeps the owner's keys from it (Windows disables the
// owner meanwhile) and dispatches its other messages; a quit posted while
// the box is up ends it and is left for the caller's loop; the owner draws
// as before once the box is gone.
TEST_F(MessageBoxTest, OwnerAndCallerKeepTheirMessages) {
  static HWND owner;
  Outcome out = RunChild(nullptr, xvfb_.display(), [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
      TheShared()->ownerKeys += message == WM_KEYDOWN;
      TheShared()->ownerPosts += message == WM_APP;
      return DefWindowProcW(hwnd, message, wParam, lParam);
    };
    wc.lpszClassName = L"Owner";
    RegisterClassExW(&wc);
    owner = CreateWindowExW(0, L"Owner", L"", WS_VISIBLE, 0, 0, 166, 149, nullptr, nullptr, nullptr, nullptr);
    ID2D1Factory* factory = nullptr;
    ID2D1HwndRenderTarget* target = nullptr;
    if (!owner ||
        FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr,
                                 reinterpret_cast<void**>(&factory))) ||
        FAILED(factory->CreateHwndRenderTarget(D2D1::RenderTargetProperties(),
                                               D2D1::HwndRenderTargetProperties(owner, D2D1::SizeU(160, 120)),
                                               &target))) {
      return 91;
    }
    target->BeginDraw();
    target->Clear(D2D1::ColorF(0x0000FF));
    target->EndDraw();

    g_act = [](HWND) {
      PushKey(owner, SDLK_a);
      PostMessageW(owner, WM_APP, 0, 0);
      PostQuitMessage(5);
    };
    vxtest::OnMessageBoxShown(OnShown);
    TheShared()->result = MessageBoxW(owner, L"持ち主のある箱", L"見出し", MB_OK);
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) DispatchMessageW(&msg);
    TheShared()->quitCode = got == 0 ? static_cast<int>(msg.wParam) : -1;

    target->BeginDraw();
    target->Clear(D2D1::ColorF(0x00FF00));
    std::vector<uint8_t> rgba;
    int w = 0, h = 0;
    if (SUCCEEDED(target->EndDraw()) && vxtest::ReadWindowPixels(owner, rgba, &w, &h) && w == 160) {
      memcpy(TheShared()->ownerPixel, &rgba[(60 * w + 80) * 4], 4);
    }
    target->Release();
    factory->Release();
    DestroyWindow(owner);
    TheShared()->liveAfter = vxtest::LiveComObjects();
    return 0;
  });
  EXPECT_EQ(out.code, 0) << out.err;
  const Shared* s = TheShared();
  EXPECT_EQ(s->shown, 1);
  EXPECT_EQ(s->result, IDOK);
  EXPECT_EQ(s->ownerKeys, 0);
  EXPECT_EQ(s->ownerPosts, 1);
  EXPECT_EQ(s->quitCode, 5);
  EXPECT_EQ(std::vector<int>(s->ownerPixel, s->ownerPixel + 4), (std::vector<int>{0, 255, 0, 255}));
  EXPECT_EQ(s->liveAfter, 0);
}

// SIGTERM while the box is up ends the process and leaves nothing of it
// running: the box is the process's own window, not a helper process.
TEST_F(MessageBoxTest, TerminationLeavesNoProcessBehind) {
  pid_t group = 0;
  Outcome out = RunChild(
      nullptr, xvfb_.display(),
      [] {
        vxtest::OnMessageBoxShown(OnShown);
        MessageBoxW(nullptr, L"待っています", L"見出し", MB_OK);
        return 0;
      },
      [&](pid_t pid) {
        group = pid;
        kill(pid, SIGTERM);
      });
  EXPECT_EQ(out.signal, SIGTERM);
  ASSERT_GT(group, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(kill(-group, 0), -1);
  EXPECT_EQ(errno, ESRCH) << "a process of the box's group still runs";
}

// Without a display to show it on, the box is its line alone, at once.
TEST(MessageBoxHeadless, IsItsLineAlone) {
  for (const char* driver : {"offscreen", "dummy", "x11"}) {  // x11 with no DISPLAY
    SCOPED_TRACE(driver);
    Outcome out = RunChild(driver, "", [] {
      vxtest::OnMessageBoxShown(OnShown);
      TheShared()->result = MessageBoxW(nullptr, L"a\nb", L"c", MB_OK);
      return 0;
    });
    EXPECT_EQ(out.code, 0);
    EXPECT_EQ(TheShared()->result, IDOK);
    EXPECT_EQ(TheShared()->shown, 0);
    EXPECT_EQ(out.err, "c: a b\n");
  }
}

}  // namespace
