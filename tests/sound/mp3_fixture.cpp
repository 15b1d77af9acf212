#include "mp3_fixture.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace soundtest {

namespace {

std::vector<uint8_t> Encode(const std::vector<float>& mono, int rate, int channels) {
  lame_global_flags* gf = lame_init();
  lame_set_in_samplerate(gf, rate);
  lame_set_out_samplerate(gf, rate);
  lame_set_num_channels(gf, channels);
  lame_set_mode(gf, channels == 1 ? MONO : JOINT_STEREO);
  lame_set_brate(gf, 128);
  lame_set_quality(gf, 5);
  if (lame_init_params(gf) < 0) throw std::runtime_error("lame_init_params");
  std::vector<uint8_t> out(mono.size() * 5 / 4 + 7200 + 16384);
  int n = lame_encode_buffer_ieee_float(gf, mono.data(), mono.data(), int(mono.size()), out.data(), int(out.size()));
  if (n < 0) throw std::runtime_error("lame_encode");
  int m = lame_encode_flush(gf, out.data() + n, int(out.size()) - n);
  if (m < 0) throw std::runtime_error("lame_flush");
  out.resize(size_t(n + m));
  // The first frame is a placeholder for the gapless tag until the end is known.
  std::vector<uint8_t> tag(2880);
  size_t tagSize = lame_get_lametag_frame(gf, tag.data(), tag.size());
  if (tagSize > 0 && tagSize <= out.size()) std::copy(tag.begin(), tag.begin() + long(tagSize), out.begin());
  lame_close(gf);
  return out;
}

}  // namespace

std::vector<uint8_t> EncodeTone(double hz, double seconds, int rate, int channels, float amp) {
  std::vector<float> s(size_t(seconds * rate));
  for (size_t i = 0; i < s.size(); ++i) s[i] = amp * float(std::sin(2 * M_PI * hz * double(i) / rate));
  return Encode(s, rate, channels);
}

std::vector<uint8_t> EncodeSweep(double fromHz, double toHz, double seconds, int rate) {
  std::vector<float> s(size_t(seconds * rate));
  double phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    double hz = fromHz + (toHz - fromHz) * double(i) / double(s.size());
    phase += 2 * M_PI * hz / rate;
    s[i] = 0.3f * float(std::sin(phase));
  }
  return Encode(s, rate, 2);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

double ToneLevel(const std::vector<float>& stereo, int rate, double hz) {
  size_t n = stereo.size() / 2;
  double re = 0, im = 0;
  for (size_t i = 0; i < n; ++i) {
    double a = 2 * M_PI * hz * double(i) / rate;
    re += stereo[2 * i] * std::cos(a);
    im += stereo[2 * i] * std::sin(a);
  }
  return n ? (re * re + im * im) / (double(n) * double(n)) : 0;
}

double Peak(const std::vector<float>& stereo, size_t fromFrame, size_t frames) {
  double peak = 0;
  size_t end = std::min(stereo.size() / 2, frames == SIZE_MAX ? SIZE_MAX : fromFrame + frames);
  for (size_t i = fromFrame * 2; i < end * 2; ++i) peak = std::max(peak, double(std::fabs(stereo[i])));
  return peak;
}

}  // namespace soundtest

#include "graph_util.h"
#include "vx_sound_testing.h"

namespace soundtest {

std::vector<float> Pull(int frames) {
  std::vector<float> out(size_t(frames) * 2, 0.0f);
  if (!vxtest::PullMixerOutput(out.data(), frames)) throw std::runtime_error("mixer not in manual mode");
  return out;
}

double Seconds(LONGLONG units) { return double(units) / 1e7; }

}  // namespace soundtest
