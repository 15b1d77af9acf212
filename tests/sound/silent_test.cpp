// Without an audio device (the dummy driver) sounds still run by the clock
// and end on time, and one line says that sound is off.
#include "graph_util.h"
#include "mp3_fixture.h"
#include "vx_sound_testing.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace soundtest;

TEST(SilentMixer, SoundsEndOnTimeAndOneLineSaysSoundIsOff) {
  CoInitialize(nullptr);
  WriteFile("tone.mp3", EncodeTone(440, 0.4));
  testing::internal::CaptureStderr();
  for (int round = 0; round < 2; ++round) {  // the mixer closes and reopens between rounds
    Graph g(L"tone.mp3"), other(L"tone.mp3");
    ASSERT_EQ(g.rendered, S_OK);
    EXPECT_TRUE(vxtest::MixerIsSilent());
    auto start = std::chrono::steady_clock::now();
    g.control->Run();
    long code = 0;
    LONG_PTR p1, p2;
    ASSERT_EQ(g.events->GetEvent(&code, &p1, &p2, 5000), S_OK);
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_GT(took, 0.3);  // the mixer works a block ahead of the clock
    EXPECT_LT(took, 1.5);  // generous: sanitizer builds run slowly
    LONGLONG pos = 0;
    g.seeking->GetCurrentPosition(&pos);
    EXPECT_NEAR(double(pos) / 1e7, 0.4, 0.01);
    EXPECT_TRUE(other.DrainEvents().empty());  // never run
  }
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("sound is off"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  CoUninitialize();
}
