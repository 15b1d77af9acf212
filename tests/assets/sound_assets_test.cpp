// The six sounds opened as the game opens them, one filter graph each, and
// played through our mixer with no device (its manual mode) so the output
// can be measured.
#include <windows.h>
#include <dshow.h>

#include <gtest/gtest.h>

#include "vx_sound_testing.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

struct Graph {
  IGraphBuilder* graph = nullptr;
  IMediaControl* control = nullptr;
  IMediaSeeking* seeking = nullptr;
  HRESULT rendered = E_FAIL;
  std::string file;

  explicit Graph(const std::string& name) : file(name) {
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(&graph))))
      return;
    const std::string path = std::string(VX_ASSETS_DIR "/sound/") + file;
    rendered = graph->RenderFile(std::wstring(path.begin(), path.end()).c_str(), nullptr);
    graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking));
  }
  ~Graph() {
    for (IUnknown* p : {static_cast<IUnknown*>(seeking), static_cast<IUnknown*>(control),
                        static_cast<IUnknown*>(graph)})
      if (p) p->Release();
  }
  double Seconds() const {
    LONGLONG d = -1;
    return seeking && SUCCEEDED(seeking->GetDuration(&d)) ? d / 1e7 : -1.0;
  }
  void SeekTo(double seconds) {
    LONGLONG pos = LONGLONG(seconds * 1e7);
    seeking->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  }
};

// Interleaved stereo from the mixer.
std::vector<float> Pull(double seconds) {
  const int rate = vxtest::MixerRate();
  std::vector<float> out(size_t(seconds * rate) * 2, 0.f);
  const int chunk = 4096;
  for (size_t at = 0; at < out.size(); at += size_t(chunk) * 2) {
    const int frames = int(std::min<size_t>(chunk, (out.size() - at) / 2));
    EXPECT_TRUE(vxtest::PullMixerOutput(out.data() + at, frames));
  }
  return out;
}

double Peak(const std::vector<float>& s, size_t from = 0, size_t to = SIZE_MAX) {
  double m = 0;
  for (size_t i = from; i < std::min(to, s.size()); ++i) m = std::max(m, double(std::fabs(s[i])));
  return m;
}

double Rms(const std::vector<float>& s, size_t from = 0, size_t to = SIZE_MAX) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = from; i < std::min(to, s.size()); ++i, ++n) sum += double(s[i]) * s[i];
  return n ? std::sqrt(sum / n) : 0.0;
}

// Loudest short window: what the ear catches of an effect.
double LoudestWindow(const std::vector<float>& s, size_t window) {
  double best = 0;
  for (size_t at = 0; at + window <= s.size(); at += window / 4) best = std::max(best, Rms(s, at, at + window));
  return best;
}

class SoundAssets : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitialize(nullptr);
    vxtest::UseManualMixer(true);
  }
  static void TearDownTestSuite() { CoUninitialize(); }
  // Samples (interleaved, both channels) in `seconds` at the mixer's rate.
  static size_t Samples(double seconds) { return size_t(seconds * vxtest::MixerRate()) * 2; }
};

TEST_F(SoundAssets, EachFileOpensAndLastsAsLongAsItsCueNeeds) {
  const struct {
    const char* file;
    double minSec, maxSec;
  } cases[] = {
      // The music cues come 2,500 frames apart (about 82 s) and nothing loops.
      {"bgm01.mp3", 75.0, 82.5}, {"bgm02.mp3", 75.0, 82.5}, {"bgm03.mp3", 75.0, 82.5},
      {"bom2.mp3", 0.3, 1.0},    {"SHOT.mp3", 0.05, 0.3},   {"Loc2.mp3", 0.05, 0.2},
  };
  for (const auto& c : cases) {
    Graph g(c.file);
    ASSERT_EQ(g.rendered, S_OK) << c.file;
    const double s = g.Seconds();
    EXPECT_GE(s, c.minSec) << c.file;
    EXPECT_LE(s, c.maxSec) << c.file;
  }
}

TEST_F(SoundAssets, EffectsStartAtOnceAndStandOutOverTheMusic) {
  // Music level: a long stretch of the busiest part of each piece.
  double musicRms = 0;
  for (const char* file : {"bgm01.mp3", "bgm02.mp3", "bgm03.mp3"}) {
    Graph g(file);
    ASSERT_EQ(g.rendered, S_OK) << file;
    g.SeekTo(20.0);
    g.control->Run();
    std::vector<float> out = Pull(10.0);
    g.control->Stop();
    const double rms = Rms(out);
    EXPECT_GT(rms, 0.02) << file << " is nearly silent";
    musicRms = std::max(musicRms, rms);
  }
  const struct {
    const char* file;
    double attackSec;  // the sound must be at full strength within this
  } cases[] = {{"bom2.mp3", 0.02}, {"SHOT.mp3", 0.02}, {"Loc2.mp3", 0.03}};
  for (const auto& c : cases) {
    Graph g(c.file);
    ASSERT_EQ(g.rendered, S_OK) << c.file;
    g.control->Run();
    std::vector<float> out = Pull(0.5);
    g.control->Stop();
    const size_t window = Samples(0.03);
    const double loudest = LoudestWindow(out, window);
    EXPECT_GT(loudest, 1.5 * musicRms) << c.file << " would be lost under the music";
    // Loc is restarted every frame: its opening must already carry it.
    EXPECT_GT(Rms(out, 0, Samples(c.attackSec)), 0.5 * loudest) << c.file << " starts too softly";
    EXPECT_GT(Peak(out, 0, Samples(0.003)), 0.05) << c.file << " begins with silence";
  }
}

TEST_F(SoundAssets, MusicWithEffectsOnTopDoesNotClip) {
  for (const char* file : {"bgm01.mp3", "bgm02.mp3", "bgm03.mp3"}) {
    Graph music(file), hit("bom2.mp3"), loc("Loc2.mp3");
    // An effect that failed to load would mix as silence and pass.
    for (const Graph* g : {&music, &hit, &loc}) ASSERT_EQ(g->rendered, S_OK) << g->file;
    double peak = 0;
    // Scan the whole piece, a hit and a lock blip starting every half second.
    music.control->Run();
    for (double t = 0; t < music.Seconds(); t += 0.5) {
      hit.SeekTo(0);
      hit.control->Run();
      loc.SeekTo(0);
      loc.control->Run();
      peak = std::max(peak, Peak(Pull(0.5)));
    }
    EXPECT_LT(peak, 0.99) << file << " with effects reaches full scale";
  }
}

}  // namespace
