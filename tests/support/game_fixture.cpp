#include "game_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cwchar>
#include <filesystem>

#include "app/shell.h"
#include "game/game.h"
#include "game/rng.h"
#include "game/tables.h"
#include "shell_start.h"
#include "sound/dshow_helper.h"

namespace {

// ---- sounds: one stand-in graph per loaded name ----

SoundLog g_soundLog;
int g_straySoundCalls = 0;

// Plays from the start are recognised by their three calls in order; a call
// out of that order is stray.
struct FakeSound : IGraphBuilder, IMediaControl, IMediaSeeking {
  const wchar_t* name;
  enum { kIdle, kStopped, kRewound } step = kIdle;
  explicit FakeSound(const wchar_t* n) : name(n) {}

  void Stray() {
    g_straySoundCalls++;
    step = kIdle;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    // No event interface: looping notification can never be armed.
    if (object) *object = NULL;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE RenderFile(LPCWSTR, LPCWSTR) override {
    Stray();
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE Run() override {
    if (step == kRewound) {
      if (g_soundLog.count < 256) g_soundLog.names[g_soundLog.count] = name;
      g_soundLog.count++;
      step = kIdle;
    } else {
      Stray();
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Pause() override {
    Stray();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Stop() override {
    if (step != kIdle) Stray();
    step = kStopped;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetState(LONG, OAFilterState*) override {
    Stray();
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                         DWORD stopFlags) override {
    if (step == kStopped && current && *current == 0 && currentFlags == AM_SEEKING_AbsolutePositioning && !stop &&
        stopFlags == AM_SEEKING_NoPositioning) {
      step = kRewound;
    } else {
      Stray();
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG*) override {
    Stray();
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG*) override {
    Stray();
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG*) override {
    Stray();
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG*, LONGLONG*) override {
    Stray();
    return E_NOTIMPL;
  }
};

FakeSound g_fakeSounds[] = {FakeSound(L"bgm001"), FakeSound(L"bgm002"), FakeSound(L"bgm003"),
                            FakeSound(L"hit"),    FakeSound(L"pow"),    FakeSound(L"loc")};

// ---- the shell's start-up, on recording targets ----

LRESULT CALLBACK QuietProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A busy frame of the full stage makes about 2,000 calls; both of the
// target's frame buffers are grown well past that once, before any test, so
// that a frame's recording never allocates.
constexpr int kWarmCommands = 1 << 13;

class ShellEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // The shell loads its images by relative path: give it the asset folder's
    // images in the test's own working directory.
    namespace fs = std::filesystem;
    fs::create_directories("images");
    for (const char* f : {"back01.png", "jiki1.png"}) {
      fs::copy_file(fs::path(VX_ASSETS_DIR) / "images" / f, fs::path("images") / f,
                    fs::copy_options::overwrite_existing);
    }

    vxtest::UseRecordingTargets(true);
    const char* failed = support::StartShell(true);
    ASSERT_EQ(failed, nullptr) << failed;

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = QuietProc;
    wc.lpszClassName = L"GameTestWindow";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    HWND hwnd = CreateWindowExW(0, L"GameTestWindow", L"game test", WS_SYSMENU, 0, 0, 606, 749, NULL, NULL, NULL, NULL);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_EQ(CreateDeviceResources(hwnd), S_OK);
    ASSERT_NE(g_largeTextFormat, nullptr);
    TheRecorder().target = g_renderTarget;

    for (FakeSound& s : g_fakeSounds) {
      DShowHLP::g_sounds[s.name] = DShowHLP::Sound{static_cast<IGraphBuilder*>(&s), static_cast<IMediaControl*>(&s),
                                                   static_cast<IMediaSeeking*>(&s), NULL};
    }

    Recorder& r = TheRecorder();
    for (int frame = 0; frame < 2; ++frame) {
      r.BeginFrame();
      for (int i = 0; i < kWarmCommands; ++i) r.target->Clear(NULL);
      r.EndFrame();
    }
  }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ShellEnvironment);

}  // namespace

SoundLog& Sounds() { return g_soundLog; }
void ClearSounds() {
  g_soundLog.count = 0;
  g_straySoundCalls = 0;
  for (FakeSound& s : g_fakeSounds) s.step = FakeSound::kIdle;
}
int StraySoundCalls() {
  int n = g_straySoundCalls;
  for (const FakeSound& s : g_fakeSounds) n += s.step != FakeSound::kIdle;
  return n;
}
int SoundsNamed(const wchar_t* name) {
  int n = 0;
  for (int i = 0; i < g_soundLog.count && i < 256; ++i) n += std::wcscmp(g_soundLog.names[i], name) == 0;
  return n;
}

// ---- frames on the recording target ----

Recorder& TheRecorder() {
  static Recorder recorder{NULL, false};
  return recorder;
}
void Recorder::BeginFrame() {
  if (drawing) target->EndDraw(NULL, NULL);
  target->BeginDraw();
  drawing = true;
}
void Recorder::EndFrame() {
  target->EndDraw(NULL, NULL);
  drawing = false;
}
const std::vector<vxtest::Command>& Recorder::Commands() const {
  return drawing ? vxtest::CurrentFrame(target) : vxtest::LastFrame(target);
}

// ---- helpers ----

void HoldKey(int key, bool down) {
  g_keyDown[key] = down ? 1 : 0;
  if (!down) g_keyLatched[key] = 0;
}

void ResetWholeGame() {
  InitGameState();
  for (Enemy& e : g_enemies) {
    e.motionTimer = 0.0f;
    e.heading = 0.0f;
  }
  g_frameTicks = 0;
  g_scrollA = 0.0f;
  g_scrollB = 0.0f;
  g_score = 0.0f;
  g_randState = 1;
  std::memset(g_keyDown, 0, sizeof g_keyDown);
  std::memset(g_keyLatched, 0, sizeof g_keyLatched);
  ClearSounds();
}

void RunPaintFrame() {
  Recorder& r = TheRecorder();
  r.BeginFrame();
  RenderFrame(r.target);
  r.EndFrame();
}

std::vector<Segment> GlowSegments(const std::vector<vxtest::Command>& commands) {
  // The last, full-alpha pass of each glow stroke stands for the stroke.
  std::vector<Segment> out;
  for (const vxtest::Command& c : commands) {
    if (c.op != vxtest::Op::DrawLine || c.color.a != 1.0f) continue;
    const uint32_t rgb = (static_cast<uint32_t>(std::lround(c.color.r * 255)) << 16) |
                         (static_cast<uint32_t>(std::lround(c.color.g * 255)) << 8) |
                         static_cast<uint32_t>(std::lround(c.color.b * 255));
    out.push_back(Segment{c.p0.x, c.p0.y, c.p1.x, c.p1.y, rgb});
  }
  return out;
}

std::vector<vxtest::Command> OfKind(const std::vector<vxtest::Command>& commands, vxtest::Op op) {
  std::vector<vxtest::Command> out;
  for (const vxtest::Command& c : commands) {
    if (c.op == op) out.push_back(c);
  }
  return out;
}

bool SameRect(const D2D1_RECT_F& a, float l, float t, float r, float b, float tolerance) {
  return std::fabs(a.left - l) <= tolerance && std::fabs(a.top - t) <= tolerance &&
         std::fabs(a.right - r) <= tolerance && std::fabs(a.bottom - b) <= tolerance;
}
