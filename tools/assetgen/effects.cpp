// The three effects: explosion ("hit"), shot ("pow") and lock-on blip ("loc").
#include <algorithm>
#include <cmath>

#include "sounds.h"

namespace vxs {
namespace {

Stereo Mono(double seconds) { return Stereo(size_t(seconds * kRate)); }

void FadeTail(Stereo& s, double seconds) {
  const size_t n = s.Frames(), f = std::min(n, size_t(seconds * kRate));
  for (size_t i = 0; i < f; ++i) {
    const float k = float(i) / float(f);
    s.l[n - 1 - i] *= k;
    s.r[n - 1 - i] *= k;
  }
}

}  // namespace

Stereo RenderExplosion() {
  // Full level from the first sample: a noise blast whose filter closes as it
  // rolls off, a falling sub thump under it and scattered crackle.
  Stereo s = Mono(0.85);
  Noise nz(77), crack(78);
  Svf blast, rumble;
  double phase = 0;
  for (size_t i = 0; i < s.Frames(); ++i) {
    const double t = double(i) / kRate;
    blast.Run(nz.Next(), 300 + 9000 * std::exp(-t / 0.09), 0.9);
    rumble.Run(nz.Next(), 180, 1.2);
    phase += (32 + 90 * std::exp(-t / 0.07)) / kRate;
    const double thump = std::sin(2 * M_PI * phase) * std::exp(-t / 0.22);
    double pops = 0;
    if (crack.Next() > 0.9985 - 0.002 * std::exp(-t / 0.2)) pops = crack.Next() * std::exp(-t / 0.3);
    const double v = blast.low * 1.4 * std::exp(-t / 0.16) + rumble.low * 2.0 * std::exp(-t / 0.35) +
                     thump * 0.9 + pops * 0.6;
    s.l[i] = s.r[i] = float(v);
  }
  FadeTail(s, 0.08);
  Master(s, kEffectPeak, 2.2);
  return s;
}

Stereo RenderShot() {
  // A falling square zap with a click of noise on its front.
  Stereo s = Mono(0.2);
  Noise nz(91);
  Svf f;
  double phase = 0;
  for (size_t i = 0; i < s.Frames(); ++i) {
    const double t = double(i) / kRate;
    phase += (380 + 1500 * std::exp(-t / 0.04)) / kRate;
    const double sq = std::fmod(phase, 1.0) < 0.5 ? 1.0 : -1.0;
    f.Run(sq, 5000 * std::exp(-t / 0.08) + 400, 0.8);
    const double click = t < 0.008 ? nz.Next() * (1.0 - t / 0.008) : 0.0;
    s.l[i] = s.r[i] = float(f.low * std::exp(-t / 0.06) + click * 0.5);
  }
  FadeTail(s, 0.03);
  Master(s, kEffectPeak * 0.8, 1.2);
  return s;
}

Stereo RenderLockBlip() {
  // The game restarts this every frame while something is locked, so the
  // whole character sits in the first 30 ms: an instant bright chirp up a
  // fifth, then a short ring.
  Stereo s = Mono(0.15);
  double phase = 0;
  for (size_t i = 0; i < s.Frames(); ++i) {
    const double t = double(i) / kRate;
    const double freq = t < 0.022 ? 1760 * std::pow(1.5, t / 0.022) : 2640;
    phase += freq / kRate;
    const double x = std::sin(2 * M_PI * phase) + 0.3 * std::sin(6 * M_PI * phase);
    const double env = std::min(1.0, t / 0.0015) * (t < 0.03 ? 1.0 : std::exp(-(t - 0.03) / 0.035));
    s.l[i] = s.r[i] = float(x * env);
  }
  FadeTail(s, 0.02);
  Master(s, kEffectPeak * 0.6, 1.0);
  return s;
}

}  // namespace vxs
