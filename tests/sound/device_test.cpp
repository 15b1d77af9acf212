// Through a real SDL device callback: SDL's disk driver plays the mix into a
// file at the device's pace, which is read back; and through a PulseAudio
// server.
#include <SDL.h>
#include <pulse/pulseaudio.h>

#include "graph_util.h"
#include "mp3_fixture.h"
#include "pulse_server.h"
#include "vx_sound_testing.h"

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

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

// A client of the test's own on the server, as a desktop's volume control:
// it changes the null sink and its monitor and waits for the change events,
// which every client watching sinks and sources gets at the same time.
class VolumeControl {
 public:
  VolumeControl() : loop_(pa_mainloop_new()) {
    context_ = pa_context_new(pa_mainloop_get_api(loop_), "vx-device-test");
    if (!context_ || pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) return;
    if (!Until([this] { return pa_context_get_state(context_) == PA_CONTEXT_READY; })) return;
    pa_context_set_subscribe_callback(context_, OnEvent, this);
    const auto watched = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SOURCE);
    ready_ = Finish(pa_context_subscribe(context_, watched, nullptr, nullptr));
  }
  ~VolumeControl() {
    if (context_) {
      pa_context_disconnect(context_);
      pa_context_unref(context_);
    }
    pa_mainloop_free(loop_);
  }
  VolumeControl(const VolumeControl&) = delete;
  VolumeControl& operator=(const VolumeControl&) = delete;

  // True once both volumes are set and both change events have arrived.
  bool ChangeSinkAndMonitor() {
    if (!ready_) return false;
    sinkChanged_ = sourceChanged_ = false;
    pa_cvolume half;
    pa_cvolume_set(&half, 2, PA_VOLUME_NORM / 2);
    return Finish(pa_context_set_sink_volume_by_name(context_, "vx_null", &half, nullptr, nullptr)) &&
           Finish(pa_context_set_source_volume_by_name(context_, "vx_null.monitor", &half, nullptr, nullptr)) &&
           Until([this] { return sinkChanged_ && sourceChanged_; });
  }

 private:
  static void OnEvent(pa_context*, pa_subscription_event_type_t type, uint32_t, void* self) {
    auto* control = static_cast<VolumeControl*>(self);
    if ((type & PA_SUBSCRIPTION_EVENT_TYPE_MASK) != PA_SUBSCRIPTION_EVENT_CHANGE) return;
    const unsigned facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    control->sinkChanged_ |= facility == PA_SUBSCRIPTION_EVENT_SINK;
    control->sourceChanged_ |= facility == PA_SUBSCRIPTION_EVENT_SOURCE;
  }
  // Runs the loop until done(), for at most 5 s or until the connection fails.
  template <typename Done>
  bool Until(Done done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
      const pa_context_state_t state = pa_context_get_state(context_);
      if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) return false;
      if (std::chrono::steady_clock::now() > end) return false;
      if (pa_mainloop_iterate(loop_, 0, nullptr) <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
  bool Finish(pa_operation* request) {
    if (!request) return false;
    Until([request] { return pa_operation_get_state(request) != PA_OPERATION_RUNNING; });
    const bool done = pa_operation_get_state(request) == PA_OPERATION_DONE;
    pa_operation_unref(request);
    return done;
  }

  pa_mainloop* loop_;
  pa_context* context_ = nullptr;
  bool ready_ = false;
  bool sinkChanged_ = false;
  bool sourceChanged_ = false;
};

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

// Through a PulseAudio server of the test's own, started afresh as after a
// desktop login: the device opens, plays and closes, and the sink and its
// monitor change while it plays, as SDL's driver sees whenever a stream
// starts. Under AddressSanitizer the process's end also checks that what SDL's
// driver does on those changes leaves no leak behind that is not excused.
TEST(DeviceMixer, PlaysThroughAPulseAudioServer) {
  PulseServer server;
  if (!server.up()) GTEST_SKIP() << "no pulseaudio here";
  setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
  CoInitialize(nullptr);
  WriteFile("tone.mp3", EncodeTone(660, 1.5));
  {
    Graph g(L"tone.mp3");
    ASSERT_EQ(g.rendered, S_OK);
    ASSERT_FALSE(vxtest::MixerIsSilent()) << "no device through the server";
    int frames = 0, rate = 0;
    EXPECT_TRUE(vxtest::MixerDeviceBuffer(&frames, &rate));
    EXPECT_GE(waveOutGetNumDevs(), 1u);
    g.control->Run();
    // Whether SDL's watch on the server (made by its hotplug thread as the
    // device opened) saw our stream join is a race inside SDL; by now, after
    // our own connection's round trips, it is in place. The rest of the tone
    // gives that thread the time to answer the changes.
    VolumeControl volume;
    EXPECT_TRUE(volume.ChangeSinkAndMonitor());
    long code = 0;
    LONG_PTR p1, p2;
    ASSERT_EQ(g.events->GetEvent(&code, &p1, &p2, 5000), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
  }  // the last graph closes the device, at once though the server may not have asked for more
  EXPECT_EQ(vxtest::MixerRate(), 0);
  CoUninitialize();
}
