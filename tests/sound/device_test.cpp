// Through a real SDL device callback: SDL's disk driver plays the mix into a
// file at the device's pace, which is read back; and through a PulseAudio
// server.
#include <SDL.h>

#include "graph_util.h"
#include "mp3_fixture.h"
#include "pulse_server.h"
#include "vx_sound_testing.h"

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>

using namespace soundtest;

namespace {

// The frames the disk driver wrote to a file.
std::vector<float> ReadDeviceFile(const char* path) {
  std::vector<float> out;
  if (FILE* f = std::fopen(path, "rb")) {
    float buf[4096];
    size_t n;
    while ((n = std::fread(buf, sizeof(float), 4096, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
  }
  return out;
}

}  // namespace

TEST(DeviceMixer, PlaysThroughTheDeviceCallback) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "device.raw", 1);
  CoInitialize(nullptr);
  WriteFile("tone.mp3", EncodeTone(440, 0.3));
  WriteFile("tone2.mp3", EncodeTone(990, 0.5));
  int rate = 0;
  {
    Graph g(L"tone.mp3"), h(L"tone2.mp3");
    ASSERT_EQ(g.rendered, S_OK);
    ASSERT_FALSE(vxtest::MixerIsSilent());
    rate = vxtest::MixerRate();
    g.control->Run();
    h.control->Run();
    // Restarts from this thread while the device thread mixes.
    for (int i = 0; i < 20; ++i) {
      h.control->Stop();
      h.Rewind();
      h.control->Run();
    }
    long code = 0;
    LONG_PTR p1, p2;
    ASSERT_EQ(g.events->GetEvent(&code, &p1, &p2, 5000), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    ASSERT_EQ(h.events->GetEvent(&code, &p1, &p2, 5000), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
  }
  CoUninitialize();
  const std::vector<float> out = ReadDeviceFile("device.raw");
  ASSERT_GT(out.size(), size_t(rate) * 2 * 3 / 10);
  EXPECT_GT(ToneLevel(out, rate, 440), 1e-3);
  EXPECT_GT(ToneLevel(out, rate, 990), 1e-3);
  EXPECT_LE(Peak(out), 1.0);
}

// Start-up loads the sounds before it makes the window: a display that
// fails then stops video alone, and the device plays on.
TEST(DeviceMixer, AFailedVideoStartLeavesTheDeviceOpen) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "after_video.raw", 1);
  CoInitialize(nullptr);
  WriteFile("tone.mp3", EncodeTone(440, 0.3));
  int rate = 0;
  {
    Graph g(L"tone.mp3");
    ASSERT_EQ(g.rendered, S_OK);
    rate = vxtest::MixerRate();
    // No display answers, and SDL's offscreen fallback is refused.
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("WAYLAND_DISPLAY");
    setenv("DISPLAY", ":64999", 1);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 0);
    EXPECT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    g.control->Run();
    long code = 0;
    LONG_PTR p1, p2;
    ASSERT_EQ(g.events->GetEvent(&code, &p1, &p2, 5000), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
  }
  CoUninitialize();
  const std::vector<float> out = ReadDeviceFile("after_video.raw");
  EXPECT_GT(ToneLevel(out, rate, 440), 1e-3);
}

// Through a PulseAudio server of the test's own, as on a desktop: the
// device opens, plays and closes. Under AddressSanitizer the process's end
// also checks that SDL's driver leaves no leak behind that is not excused.
TEST(DeviceMixer, PlaysThroughAPulseAudioServer) {
  PulseServer server;
  if (!server.up()) GTEST_SKIP() << "no pulseaudio here";
  setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
  CoInitialize(nullptr);
  WriteFile("short.mp3", EncodeTone(660, 0.2));
  {
    Graph g(L"short.mp3");
    ASSERT_EQ(g.rendered, S_OK);
    ASSERT_FALSE(vxtest::MixerIsSilent()) << "no device through the server";
    int frames = 0, rate = 0;
    EXPECT_TRUE(vxtest::MixerDeviceBuffer(&frames, &rate));
    EXPECT_GE(waveOutGetNumDevs(), 1u);
    g.control->Run();
    long code = 0;
    LONG_PTR p1, p2;
    ASSERT_EQ(g.events->GetEvent(&code, &p1, &p2, 5000), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
  }  // the last graph closes the device, at once though the server may not have asked for more
  EXPECT_EQ(vxtest::MixerRate(), 0);
  CoUninitialize();
}
