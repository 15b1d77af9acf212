// Without an audio device (the dummy driver) sounds still run and end on
// time, and one line says that sound is off. Time is the manual mixer's
// pulls wherever the test measures it, so a slow machine cannot fail it.
#include "graph_util.h"
#include "mp3_fixture.h"
#include "vx_sound_testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace soundtest;

TEST(SilentMixer, SoundsEndOnTimeAndOneLineSaysSoundIsOff) {
  CoInitialize(nullptr);
  WriteFile("tone.mp3", EncodeTone(440, 0.4));
  testing::internal::CaptureStderr();
  vxtest::UseManualMixer(true);
  for (int round = 0; round < 2; ++round) {  // the mixer closes and reopens between rounds
    SCOPED_TRACE(round);
    Graph g(L"tone.mp3"), other(L"tone.mp3");
    ASSERT_EQ(g.rendered, S_OK);
    EXPECT_TRUE(vxtest::MixerIsSilent());
    const int rate = vxtest::MixerRate();
    ASSERT_GT(rate, 0);
    g.control->Run();
    // 10 ms short of its end the sound is still playing, where the mix left it...
    Pull(int(0.39 * rate));
    LONGLONG pos = 0;
    g.seeking->GetCurrentPosition(&pos);
    EXPECT_NEAR(Seconds(pos), 0.39, 0.001);
    EXPECT_TRUE(g.DrainEvents().empty());
    // ...and it ends, once, when the mix passes its end.
    Pull(int(0.02 * rate));
    EXPECT_EQ(g.DrainEvents(), std::vector<long>{EC_COMPLETE});
    g.seeking->GetCurrentPosition(&pos);
    EXPECT_NEAR(Seconds(pos), 0.4, 0.001);
    EXPECT_TRUE(other.DrainEvents().empty());  // never run
  }
  vxtest::UseManualMixer(false);
  {
    // Left to the silent mixer's own clock it ends too. The wait only keeps a
    // fault from hanging the test: no time is measured.
    Graph g(L"tone.mp3");
    ASSERT_EQ(g.rendered, S_OK);
    EXPECT_TRUE(vxtest::MixerIsSilent());
    g.control->Run();
    long code = 0;
    LONG_PTR p1, p2;
    ASSERT_EQ(g.events->GetEvent(&code, &p1, &p2, 60000), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    LONGLONG pos = 0;
    g.seeking->GetCurrentPosition(&pos);
    EXPECT_NEAR(Seconds(pos), 0.4, 0.001);
  }
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("sound is off"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  CoUninitialize();
}
