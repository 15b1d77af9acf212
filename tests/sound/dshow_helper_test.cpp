// DShowHLP: loading by name, playing from the start, looping through the
// window's WM_APP_SOUND_EVENT, clean-up. Heard through the manual mixer.
#include "graph_util.h"
#include "mp3_fixture.h"
#include "sound/dshow_helper.h"
#include "vx_sound_testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

using namespace soundtest;

namespace {

int g_soundEvents = 0;

LRESULT CALLBACK TestWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP_SOUND_EVENT) {
    ++g_soundEvents;
    DShowHLP::HandleGraphEvent(reinterpret_cast<DShowHLP::Sound*>(lParam));
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class DShowHelperTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    vxtest::UseManualMixer(true);
    WriteFile("music.mp3", EncodeSweep(300, 900, 0.6));
    WriteFile("hit.mp3", EncodeTone(880, 0.25));
    WriteFile("loc.mp3", EncodeTone(1200, 0.15));
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    png.resize(300, 1);
    WriteFile("png.mp3", png);
    WriteFile("empty.mp3", {});
  }
  void SetUp() override {
    ASSERT_EQ(DShowHLP::Startup(), 1);
    DShowHLP::LoadSound(L"music.mp3", L"bgm001");
    DShowHLP::LoadSound(L"hit.mp3", L"hit");
    rate_ = vxtest::MixerRate();
  }
  void TearDown() override {
    DShowHLP::Cleanup();
    EXPECT_TRUE(DShowHLP::g_sounds.empty());
    EXPECT_EQ(vxtest::LiveFilterGraphs(), 0);
  }
  int Frames(double seconds) const { return int(seconds * rate_); }
  std::vector<float> FreshHit() {
    DShowHLP::PlayFromStart(L"hit", 0, nullptr);
    std::vector<float> out = Pull(Frames(0.3));
    DShowHLP::Stop(L"hit");
    return out;
  }
  static double MaxDiff(const std::vector<float>& a, const std::vector<float>& b) {
    double d = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) d = std::max(d, double(std::fabs(a[i] - b[i])));
    return d;
  }
  int rate_ = 0;
};

TEST_F(DShowHelperTest, PlaysFromStartByName) {
  std::vector<float> fresh = FreshHit();
  EXPECT_GT(ToneLevel(fresh, rate_, 880), 0.005);

  // Several plays within one frame: one start from the beginning.
  DShowHLP::PlayFromStart(L"hit", 0, nullptr);
  Pull(Frames(0.1));
  for (int i = 0; i < 4; ++i) DShowHLP::PlayFromStart(L"hit", 0, nullptr);
  EXPECT_LT(MaxDiff(Pull(Frames(0.3)), fresh), 1e-5);

  // After its end it plays again from the beginning.
  Pull(Frames(0.2));
  DShowHLP::PlayFromStart(L"hit", 0, nullptr);
  EXPECT_LT(MaxDiff(Pull(Frames(0.3)), fresh), 1e-5);

  // Play goes on from where Stop left the sound: the start again.
  DShowHLP::Stop(L"hit");
  DShowHLP::Play(L"hit", 0, nullptr);
  EXPECT_LT(MaxDiff(Pull(Frames(0.3)), fresh), 1e-5);
  EXPECT_EQ(Peak(Pull(Frames(0.1))), 0.0);

  // Names never loaded (case matters) do nothing.
  for (const wchar_t* name : {L"HIT", L"", L"bgm00", L"bgm0011", L"loc"}) {
    DShowHLP::PlayFromStart(name, 0, nullptr);
    DShowHLP::Play(name, 1, nullptr);
    DShowHLP::Stop(name);
  }
  EXPECT_EQ(Peak(Pull(Frames(0.1))), 0.0);
  EXPECT_EQ(DShowHLP::g_sounds.size(), 2u);
}

TEST_F(DShowHelperTest, FailedLoadsThrowAndKeepWhatWasLoaded) {
  DShowHLP::Sound before = DShowHLP::g_sounds.at(L"hit");
  struct Case { const wchar_t* path; const wchar_t* name; } cases[] = {
      {L"hit.mp3", L"hit"},           // the name is taken
      {L"loc.mp3", L"bgm001"},        // the name is taken, the file is good
      {L"missing.mp3", L"loc"},
      {L".", L"loc"},
      {L"empty.mp3", L"loc"},
      {L"png.mp3", L"loc"},
  };
  for (const Case& c : cases) {
    int thrown = 0;
    try {
      DShowHLP::LoadSound(c.path, c.name);
    } catch (int e) {
      thrown = e;
    }
    EXPECT_EQ(thrown, -1) << c.path;
  }
  EXPECT_EQ(DShowHLP::g_sounds.size(), 2u);
  EXPECT_EQ(vxtest::LiveFilterGraphs(), 2);
  EXPECT_EQ(DShowHLP::g_sounds.at(L"hit").graph, before.graph);
  EXPECT_GT(ToneLevel(FreshHit(), rate_, 880), 0.005);
  DShowHLP::LoadSound(L"loc.mp3", L"loc");
  EXPECT_EQ(DShowHLP::g_sounds.size(), 3u);
}

// Where nothing can play sound (the dummy driver here), a sound whose graph
// could not be finished for want of a renderer is kept silent, and one line
// says that sound is off; a file that cannot be played still fails.
TEST_F(DShowHelperTest, WithNoSoundOutputAnUnfinishedGraphIsKeptSilent) {
  ASSERT_EQ(waveOutGetNumDevs(), 0u);
  testing::internal::CaptureStderr();
  for (HRESULT failure : {VFW_E_CANNOT_RENDER, VFW_E_NO_AUDIO_HARDWARE}) {
    vxtest::FailNextRenderFile(failure);
    EXPECT_NO_THROW(DShowHLP::LoadSound(L"loc.mp3", L"loc"));
  }
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_NE(said.find("sound_dshow_helper_test: sound is off: "), std::string::npos) << said;
  EXPECT_EQ(DShowHLP::g_sounds.count(L"loc"), 0u);
  EXPECT_EQ(vxtest::LiveFilterGraphs(), 2);
  DShowHLP::PlayFromStart(L"loc", 0, nullptr);
  DShowHLP::Stop(L"loc");
  DShowHLP::Play(L"loc", 0, nullptr);
  EXPECT_EQ(Peak(Pull(Frames(0.2))), 0.0);

  for (HRESULT failure : {VFW_E_UNSUPPORTED_STREAM, VFW_E_INVALID_FILE_FORMAT, E_ACCESSDENIED}) {
    vxtest::FailNextRenderFile(failure);
    EXPECT_THROW(DShowHLP::LoadSound(L"loc.mp3", L"loc"), int) << std::hex << failure;
  }
}

TEST_F(DShowHelperTest, LoopsThroughTheWindowUntilPlayedWithoutLoop) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = TestWndProc;
  wc.lpszClassName = L"vx_sound_test";
  RegisterClassExW(&wc);
  HWND hwnd = CreateWindowExW(0, L"vx_sound_test", L"sound", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                              nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  std::vector<float> fresh = FreshHit();
  g_soundEvents = 0;
  DShowHLP::PlayFromStart(L"hit", 1, hwnd);
  ASSERT_NE(DShowHLP::g_sounds.at(L"hit").events, nullptr);
  for (int lap = 1; lap <= 3; ++lap) {
    Pull(Frames(0.26));  // past the end: the graph posts to the window
    MSG msg;
    ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, UINT(WM_APP_SOUND_EVENT));
    DispatchMessageW(&msg);
    EXPECT_EQ(g_soundEvents, lap);
    // Rewound and running again: the next lap is the sound from its start.
    std::vector<float> next = Pull(Frames(0.01));
    EXPECT_LT(MaxDiff(next, fresh), 1e-5) << lap;
  }
  // Messages that are not from a listening record of ours do nothing.
  DShowHLP::Sound copy = DShowHLP::g_sounds.at(L"hit");
  DShowHLP::Sound* music = &DShowHLP::g_sounds.at(L"bgm001");
  for (LPARAM foreign : {LPARAM(0), LPARAM(0x1234), reinterpret_cast<LPARAM>(&copy), reinterpret_cast<LPARAM>(music)}) {
    SendMessageW(hwnd, WM_APP_SOUND_EVENT, 0, foreign);
  }
  // A start without loop drops the notification: the end is not followed.
  DShowHLP::PlayFromStart(L"hit", 0, nullptr);
  EXPECT_EQ(DShowHLP::g_sounds.at(L"hit").events, nullptr);
  Pull(Frames(0.3));
  EXPECT_EQ(Peak(Pull(Frames(0.1))), 0.0);
  DestroyWindow(hwnd);
}

}  // namespace

// With a sound output (SDL's disk driver), the same failure is the file's.
TEST(DShowHelperWithOutput, AnUnfinishedGraphFailsTheLoad) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "output.raw", 1);
  EXPECT_GE(waveOutGetNumDevs(), 1u);
  DShowHLP::Startup();
  vxtest::FailNextRenderFile(VFW_E_CANNOT_RENDER);
  EXPECT_THROW(DShowHLP::LoadSound(L"loc.mp3", L"loc"), int);
  EXPECT_TRUE(DShowHLP::g_sounds.empty());
  DShowHLP::Cleanup();
  setenv("SDL_AUDIODRIVER", "dummy", 1);
}
