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
#include <fstream>
#include <random>

using namespace soundtest;

namespace {

constexpr double kMaxDiff = 2e-3;  // decoder output after a seek vs. straight through

double MaxDiff(const std::vector<float>& a, const std::vector<float>& b, size_t offsetB = 0) {
  double d = 0;
  for (size_t i = 0; i < a.size() && i + offsetB < b.size(); ++i) d = std::max(d, double(std::fabs(a[i] - b[i + offsetB])));
  return d;
}

// Frames of interleaved stereo with any sample other than zero.
int SoundingFrames(const std::vector<float>& stereo) {
  int n = 0;
  for (size_t i = 0; i + 1 < stereo.size(); i += 2) n += stereo[i] != 0.0f || stereo[i + 1] != 0.0f;
  return n;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Where the middle one of an MPEG-1 or -2 layer III file's frames begins
// (the file starts at a frame or at an ID3v2 tag); -1 if it does not parse.
long MiddleFrame(const std::vector<uint8_t>& mp3) {
  static const int kKbps[2][15] = {{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
                                   {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
  static const int kRates[4] = {44100, 48000, 32000, 0};
  size_t at = 0;
  if (mp3.size() > 10 && mp3[0] == 'I' && mp3[1] == 'D' && mp3[2] == '3') {
    at = 10 + (size_t(mp3[6]) << 21 | size_t(mp3[7]) << 14 | size_t(mp3[8]) << 7 | mp3[9]);
  }
  std::vector<long> frames;
  while (at + 4 <= mp3.size() && mp3[at] == 0xFF && (mp3[at + 1] & 0xE0) == 0xE0 && (mp3[at + 1] & 0x06) == 0x02) {
    const bool mpeg1 = (mp3[at + 1] & 0x08) != 0;
    const int kbps = kKbps[mpeg1 ? 0 : 1][std::min(mp3[at + 2] >> 4, 14)];
    const int rate = kRates[(mp3[at + 2] >> 2) & 3] / (mpeg1 ? 1 : 2);
    if (kbps == 0 || rate == 0) break;
    frames.push_back(long(at));
    at += size_t((mpeg1 ? 144000 : 72000) * kbps / rate + ((mp3[at + 2] >> 1) & 1));
  }
  return frames.size() < 3 ? -1 : frames[frames.size() / 2];
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
      {"empty.mp3", {}, VFW_E_INVALID_FILE_FORMAT, "empty"},
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

// A file whose middle frame is damaged (its header names another sample
// rate, or layer I) plays up to that frame and stops there. Replayed through
// one graph as the sound helper replays (stop, rewind, run), every pass
// plays what the first did, past the kept start too (each pass stops at
// the same frame).
TEST_F(GraphTest, DamagedFileReplaysAsItFirstPlayed) {
  const std::vector<uint8_t> bom2 = ReadBytes(VX_ASSETS_DIR "/sound/bom2.mp3");
  const long middle = MiddleFrame(bom2);
  ASSERT_GT(middle, 0);
  WriteFile("bom2.mp3", bom2);
  struct Case { const char* file; int byte; uint8_t mask, bits; } cases[] = {
      {"bom2_48k.mp3", 2, 0x0C, 0x04},     // sampling-frequency index 1: 48 kHz
      {"bom2_layer1.mp3", 1, 0x06, 0x06},  // layer bits 11: layer I
  };
  const int whole = SoundingFrames(Fresh(L"bom2.mp3", 2.0));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::vector<uint8_t> bytes = bom2;
    uint8_t& header = bytes[size_t(middle) + size_t(c.byte)];
    header = uint8_t((header & ~c.mask) | c.bits);
    WriteFile(c.file, bytes);
    std::string name(c.file);
    Graph g(std::wstring(name.begin(), name.end()));
    ASSERT_EQ(g.rendered, S_OK);
    std::vector<float> first;
    for (int pass = 0; pass < 6; ++pass) {
      g.control->Stop();
      g.Rewind();
      g.control->Run();
      std::vector<float> got = Pull(Frames(2.0));
      if (pass == 0) {
        first = got;
        // Cut at the damaged frame, well past the kept start.
        EXPECT_GT(SoundingFrames(first), Frames(0.3));
        EXPECT_LT(SoundingFrames(first), whole * 2 / 3);
      } else {
        EXPECT_EQ(SoundingFrames(got), SoundingFrames(first)) << pass;
        EXPECT_LT(MaxDiff(got, first), kMaxDiff) << pass;
      }
    }
    // A seek elsewhere after the failed frame plays on from there as well.
    g.Rewind(0.25);
    EXPECT_LT(MaxDiff(Pull(Frames(0.1)), first, size_t(Frames(0.25)) * 2), kMaxDiff);
  }
}

}  // namespace
