// Through a real SDL device callback: SDL's disk driver plays the mix into a
// file at the device's pace, which is read back.
#include "graph_util.h"
#include "mp3_fixture.h"
#include "vx_sound_testing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace soundtest;

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
  std::vector<float> out;
  if (FILE* f = std::fopen("device.raw", "rb")) {
    float buf[4096];
    size_t n;
    while ((n = std::fread(buf, sizeof(float), 4096, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
  }
  ASSERT_GT(out.size(), size_t(rate) * 2 * 3 / 10);
  EXPECT_GT(ToneLevel(out, rate, 440), 1e-3);
  EXPECT_GT(ToneLevel(out, rate, 990), 1e-3);
  EXPECT_LE(Peak(out), 1.0);
}
