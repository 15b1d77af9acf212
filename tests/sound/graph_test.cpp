// Filter graphs end to end: files rendered or refused, playback read back
// from the mixer (manual mode, no device), seeking, events.
#include "graph_util.h"
#include "mp3_fixture.h"
#include "vx_sound_testing.h"
#include "tests/support/capture_stderr.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <random>

using namespace soundtest;

namespace {

constexpr double kMaxDiff = 2e-3;  // decoder output after a seek vs. straight through

double MaxDiff(const std::vector<float>& a, const std::vector<float>& b, size_t offsetB = 0) {
  double d = 0;
  for (size_t i = 0; i < a.size() && i + offsetB < b.size(); ++i) d = std::max(d, double(std::fabs(a[i] - b[i + offsetB])));
  return d;
}

class GraphTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitialize(nullptr);
    vxtest::UseManualMixer(true);
    WriteFile("a440.mp3", EncodeTone(440, 0.5));
    WriteFile("b1320.mp3", EncodeTone(1320, 0.5));
    WriteFile("sweep.mp3", EncodeSweep(200, 2000, 1.0));
    WriteFile("short22k_mono.mp3", EncodeTone(660, 0.2, 22050, 1));
    WriteFile("loud.mp3", EncodeTone(500, 0.5, 44100, 2, 0.9f));
  }
  static void TearDownTestSuite() { CoUninitialize(); }
  void SetUp() override {
    keep_ = std::make_unique<Graph>(L"a440.mp3");  // keeps the mixer's rate fixed
    rate_ = vxtest::MixerRate();
    ASSERT_GT(rate_, 0);
  }
  int Frames(double seconds) const { return int(seconds * rate_); }
  // What a sound gives from a fresh start.
  std::vector<float> Fresh(const wchar_t* file, double seconds) {
    Graph g(file);
    EXPECT_EQ(g.rendered, S_OK);
    g.control->Run();
    return Pull(Frames(seconds));
  }
  std::unique_ptr<Graph> keep_;
  int rate_ = 0;
};

TEST_F(GraphTest, RenderFileRefusesWhatIsNotPlayable) {
  std::vector<uint8_t> good = EncodeTone(440, 0.3);
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  png.resize(600, 0x5A);
  std::vector<uint8_t> noise(20000);
  std::mt19937 rng(12345);
  for (auto& b : noise) b = uint8_t(rng());
  // An ID3v2 tag (size 2000, syncsafe) followed only by its padding.
  std::vector<uint8_t> id3 = {'I', 'D', '3', 4, 0, 0, 0, 0, 0x0F, 0x50};
  id3.resize(10 + 2000, 0);
  std::vector<uint8_t> bigTag = {'I', 'D', '3', 4, 0, 0x7F, 0x7F, 0x7F, 0x7F};  // claims 256 MB, has 9 bytes
  mkdir("adir.mp3", 0755);
  // why: the reason on the loader's stderr line.
  struct Case { const char* file; std::vector<uint8_t> bytes; HRESULT expected; const char* why; } cases[] = {
      {"missing.mp3", {}, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "not found"},
      {"adir.mp3", {}, E_ACCESSDENIED, "a folder"},
      {"empty.mp3", {}, VFW_E_INVALID_FILE_FORMAT, "truncated or corrupt"},
      {"png.mp3", png, VFW_E_UNSUPPORTED_STREAM, "not an MP3"},
      {"noise.mp3", noise, VFW_E_UNSUPPORTED_STREAM, "not an MP3"},
      {"tagonly.mp3", id3, 0, "truncated or corrupt"},
      {"bigtag.mp3", bigTag, 0, "truncated or corrupt"},
      {"header3.mp3", std::vector<uint8_t>(good.begin(), good.begin() + 3), 0, "truncated or corrupt"},
      {"header40.mp3", std::vector<uint8_t>(good.begin(), good.begin() + 40), 0, "truncated or corrupt"},
  };
  int before = vxtest::LiveFilterGraphs();
  for (const Case& c : cases) {
    if (!c.bytes.empty() || std::string(c.file) == "empty.mp3") {
      WriteFile(c.file, c.bytes);
    }
    std::string name(c.file);
    std::unique_ptr<Graph> made;
    const std::string said =
        support::CaptureStderr([&] { made = std::make_unique<Graph>(std::wstring(name.begin(), name.end())); });
    Graph& g = *made;
    EXPECT_TRUE(FAILED(g.rendered)) << c.file;
    EXPECT_EQ(said, support::ProgramPrefix() + c.file + ": " + c.why + "\n");
    if (c.expected) {
      EXPECT_EQ(g.rendered, c.expected) << c.file;
    }
    // A refused graph still works as an object and has nothing to play.
    EXPECT_EQ(g.control->Run(), S_OK);
    LONGLONG d = 0;
    EXPECT_TRUE(FAILED(g.seeking->GetDuration(&d))) << c.file;
  }
  EXPECT_EQ(vxtest::LiveFilterGraphs(), before);
}

TEST_F(GraphTest, TwoGraphsMixToTheSumOfEach) {
  std::vector<float> a = Fresh(L"a440.mp3", 0.3);
  std::vector<float> b = Fresh(L"b1320.mp3", 0.3);
  Graph ga(L"a440.mp3"), gb(L"b1320.mp3");
  ga.control->Run();
  gb.control->Run();
  std::vector<float> both = Pull(Frames(0.3));
  double worst = 0;
  for (size_t i = 0; i < both.size(); ++i) worst = std::max(worst, double(std::fabs(both[i] - (a[i] + b[i]))));
  EXPECT_LT(worst, 1e-5);
  EXPECT_GT(ToneLevel(both, rate_, 440), 0.01);
  EXPECT_GT(ToneLevel(both, rate_, 1320), 0.01);
  EXPECT_LT(ToneLevel(both, rate_, 880), 1e-4);
  EXPECT_LT(ToneLevel(a, rate_, 1320), 1e-4);
}

TEST_F(GraphTest, RestartsStopsAndSeeksPlayTheRightSamples) {
  std::vector<float> fresh = Fresh(L"sweep.mp3", 0.9);
  Graph g(L"sweep.mp3");
  g.control->Run();
  Pull(Frames(0.2));
  // Restarted three times within one frame: heard once, from its start,
  // across the switch from the kept start to the streamed rest.
  for (int i = 0; i < 3; ++i) {
    g.control->Stop();
    g.Rewind();
    g.control->Run();
  }
  std::vector<float> again = Pull(Frames(0.3));
  EXPECT_LT(MaxDiff(again, fresh), kMaxDiff);

  // Stop holds the position; Run goes on from there.
  g.control->Stop();
  EXPECT_EQ(Peak(Pull(Frames(0.1))), 0.0);
  LONGLONG pos = 0;
  g.seeking->GetCurrentPosition(&pos);
  EXPECT_NEAR(Seconds(pos), 0.3, 1e-3);
  g.control->Run();
  EXPECT_LT(MaxDiff(Pull(Frames(0.2)), fresh, size_t(Frames(0.3)) * 2), kMaxDiff);

  // Seeks into the streamed part, and back into the kept start, while running.
  for (double at : {0.6, 0.05, 0.35}) {
    g.Rewind(at);
    std::vector<float> got = Pull(Frames(0.15));
    EXPECT_LT(MaxDiff(got, fresh, size_t(Frames(at)) * 2), kMaxDiff) << at;
  }
}

TEST_F(GraphTest, EndQueuesOneCompleteAndStaysEnded) {
  Graph g(L"short22k_mono.mp3");  // 0.2 s, mono, another rate
  ASSERT_EQ(g.rendered, S_OK);
  LONGLONG d = 0;
  ASSERT_EQ(g.seeking->GetDuration(&d), S_OK);
  EXPECT_NEAR(Seconds(d), 0.2, 0.002);
  g.control->Run();
  std::vector<float> out = Pull(Frames(0.3));
  EXPECT_GT(ToneLevel(out, rate_, 660), 1e-3);
  EXPECT_EQ(Peak(out, size_t(Frames(0.21))), 0.0);
  // Resampled from 22.05 kHz: nothing of the image frequencies.
  EXPECT_LT(ToneLevel(out, rate_, 22050 - 660), 1e-4);
  EXPECT_EQ(g.DrainEvents(), std::vector<long>{EC_COMPLETE});
  long code;
  LONG_PTR p1, p2;
  EXPECT_EQ(g.events->GetEvent(&code, &p1, &p2, 20), E_ABORT);

  // Running again without a rewind plays nothing and completes nothing.
  g.control->Stop();
  g.control->Run();
  EXPECT_EQ(Peak(Pull(Frames(0.1))), 0.0);
  EXPECT_TRUE(g.DrainEvents().empty());
  g.Rewind();
  EXPECT_GT(Peak(Pull(Frames(0.3))), 0.1);
  EXPECT_EQ(g.DrainEvents(), std::vector<long>{EC_COMPLETE});
}

TEST_F(GraphTest, FileCutShortPlaysWhatItHasThenCompletes) {
  std::vector<uint8_t> whole = EncodeTone(440, 1.0);
  WriteFile("cut.mp3", std::vector<uint8_t>(whole.begin(), whole.begin() + long(whole.size() * 4 / 10)));
  Graph g(L"cut.mp3");
  ASSERT_EQ(g.rendered, S_OK);
  g.control->Run();
  std::vector<float> out = Pull(Frames(1.0));
  EXPECT_GT(Peak(out, size_t(Frames(0.3)), size_t(Frames(0.05))), 0.1);
  EXPECT_EQ(Peak(out, size_t(Frames(0.5))), 0.0);
  EXPECT_EQ(g.DrainEvents(), std::vector<long>{EC_COMPLETE});
}

TEST_F(GraphTest, ManyLoudSoundsAreLimitedNotWrapped) {
  std::vector<std::unique_ptr<Graph>> graphs;
  for (int i = 0; i < 8; ++i) {
    graphs.push_back(std::make_unique<Graph>(L"loud.mp3"));
    graphs.back()->control->Run();
  }
  std::vector<float> out = Pull(Frames(0.3));
  EXPECT_LE(Peak(out), 1.0);
  EXPECT_GT(Peak(out), 0.9);
  // Still the one tone: wrapping or hard clipping would add its harmonics.
  double fundamental = ToneLevel(out, rate_, 500);
  EXPECT_GT(fundamental, 0.1);
  EXPECT_LT(ToneLevel(out, rate_, 1500), fundamental * 1e-2);
}

// The mix has a fixed number of slots: one graph past them is refused and
// changes nothing; a freed slot is taken again.
TEST_F(GraphTest, AFullMixRefusesTheNextGraph) {
  std::vector<std::unique_ptr<Graph>> graphs;
  for (;;) {
    auto g = std::make_unique<Graph>(L"short22k_mono.mp3");
    if (g->rendered != S_OK) {
      EXPECT_EQ(g->rendered, VFW_E_CANNOT_RENDER);
      break;
    }
    graphs.push_back(std::move(g));
    ASSERT_LT(graphs.size(), 1000u) << "never full";
  }
  EXPECT_EQ(graphs.size() + 1, 256u);  // with keep_
  graphs.pop_back();
  Graph again(L"short22k_mono.mp3");
  EXPECT_EQ(again.rendered, S_OK);
  Graph past(L"short22k_mono.mp3");
  EXPECT_EQ(past.rendered, VFW_E_CANNOT_RENDER);
}

}  // namespace
