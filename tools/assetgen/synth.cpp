#include "synth.h"

#include <algorithm>
#include <cmath>

namespace vxs {

void Stereo::Add(size_t i, double v, double pan) {
  if (i >= l.size()) return;
  // Constant-power pan.
  const double a = (pan + 1.0) * (M_PI / 4);
  l[i] += float(v * std::cos(a));
  r[i] += float(v * std::sin(a));
}

double Noise::Next() {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return (state >> 8) * (2.0 / 16777216.0) - 1.0;
}

void Svf::Run(double x, double cutoffHz, double q) {
  cutoffHz = std::clamp(cutoffHz, 20.0, kRate * 0.45);
  const double g = std::tan(M_PI * cutoffHz / kRate);
  const double k = 1.0 / std::max(q, 0.05);
  const double a1 = 1.0 / (1.0 + g * (g + k)), a2 = g * a1, a3 = g * a2;
  const double v3 = x - ic2;
  const double v1 = a1 * ic1 + a2 * v3;
  const double v2 = ic2 + a2 * ic1 + a3 * v3;
  ic1 = 2 * v1 - ic1;
  ic2 = 2 * v2 - ic2;
  low = v2;
  band = v1;
  high = x - k * v1 - v2;
}

double Adsr::At(double t, double held) const {
  auto level = [&](double u) {
    if (u < attack) return u / attack;
    u -= attack;
    if (u < decay) return 1.0 - (1.0 - sustain) * (u / decay);
    return sustain;
  };
  if (t < 0) return 0;
  if (t < held) return level(t);
  const double from = level(held), u = t - held;
  return u >= release ? 0.0 : from * (1.0 - u / release);
}

double MidiToHz(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }

namespace {

// PolyBLEP step correction: keeps saw and square edges from aliasing.
double Blep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

struct Osc {
  double phase = 0, tri = 0;
  double Step(Wave w, double freq) {
    const double dt = freq / kRate;
    double v = 0;
    switch (w) {
      case Wave::Sine: v = std::sin(2 * M_PI * phase); break;
      case Wave::Saw: v = 2.0 * phase - 1.0 - Blep(phase, dt); break;
      case Wave::Square:
      case Wave::Triangle: {
        v = phase < 0.5 ? 1.0 : -1.0;
        v += Blep(phase, dt);
        v -= Blep(std::fmod(phase + 0.5, 1.0), dt);
        if (w == Wave::Triangle) {
          tri = dt * 4.0 * v + (1.0 - dt) * tri;  // leaky integral of the square
          v = tri;
        }
        break;
      }
    }
    phase += dt;
    if (phase >= 1.0) phase -= 1.0;
    return v;
  }
};

size_t At(double sec) { return size_t(std::max(0.0, sec) * kRate + 0.5); }

}  // namespace

void RenderNote(Stereo& out, double start, double held, double freq, double gain, double pan,
                const Patch& p, uint32_t seed) {
  const double len = held + p.amp.release;
  const size_t s0 = At(start), n = At(len);
  Osc a, b;
  Noise rnd(seed);
  a.phase = (rnd.Next() + 1) * 0.5;
  b.phase = (rnd.Next() + 1) * 0.5;
  Svf f;
  const double det = std::pow(2.0, p.detuneCents / 1200.0) * std::pow(2.0, p.octave2);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    double semis = 0;
    if (p.glideTime > 0 && t < p.glideTime) semis -= p.glideFrom * (1.0 - t / p.glideTime);
    if (p.vibratoCents > 0 && t > p.vibratoDelay) {
      const double depth = std::min(1.0, (t - p.vibratoDelay) / 0.2) * p.vibratoCents / 100.0;
      semis += depth * std::sin(2 * M_PI * p.vibratoHz * (t - p.vibratoDelay));
    }
    const double fr = freq * std::pow(2.0, semis / 12.0);
    const double x = a.Step(p.wave, fr) * (1.0 - p.mix2) + b.Step(p.wave2, fr * det) * p.mix2;
    f.Run(x, p.cutBase + p.cutRange * p.cut.At(t, held), p.q);
    const double v = f.low * p.amp.At(t, held) * gain;
    out.Add(s0 + i, v, pan);
  }
}

void Kick(Stereo& out, double start, double gain) {
  const size_t s0 = At(start), n = At(0.45);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    const double freq = 46 + 120 * std::exp(-t / 0.035);
    phase += freq / kRate;
    const double body = std::sin(2 * M_PI * phase) * std::exp(-t / 0.16);
    const double click = (t < 0.004) ? (1.0 - t / 0.004) * 0.5 : 0.0;
    out.Add(s0 + i, std::tanh(1.6 * (body + click)) * gain, 0);
  }
}

void Snare(Stereo& out, double start, double gain, uint32_t seed) {
  const size_t s0 = At(start), n = At(0.3);
  Noise nz(seed);
  Svf f;
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    f.Run(nz.Next(), 3800, 0.7);
    phase += (190 - 30 * t) / kRate;
    const double tone = std::sin(2 * M_PI * phase) * std::exp(-t / 0.05);
    const double rattle = (f.band * 1.3 + f.high * 0.5) * std::exp(-t / 0.075);
    out.Add(s0 + i, (tone * 0.6 + rattle) * gain, 0.05);
  }
}

void Hat(Stereo& out, double start, double gain, bool open, uint32_t seed) {
  const double decay = open ? 0.12 : 0.028;
  const size_t s0 = At(start), n = At(decay * 5);
  Noise nz(seed);
  Svf f;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    f.Run(nz.Next(), 8000, 0.9);
    out.Add(s0 + i, f.high * std::exp(-t / decay) * gain, 0.3);
  }
}

void Crash(Stereo& out, double start, double gain, uint32_t seed) {
  const size_t s0 = At(start), n = At(2.2);
  Noise nl(seed), nr(seed * 7 + 3);
  Svf fl, fr;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    const double env = std::exp(-t / 0.55) * std::min(1.0, t / 0.002);
    fl.Run(nl.Next(), 6500, 0.6);
    fr.Run(nr.Next(), 6500, 0.6);
    out.Add(s0 + i, fl.high * env * gain, -1);
    out.Add(s0 + i, fr.high * env * gain, 1);
  }
}

void Tom(Stereo& out, double start, double gain, double freq) {
  const size_t s0 = At(start), n = At(0.35);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    phase += freq * (1.0 + 0.6 * std::exp(-t / 0.03)) / kRate;
    out.Add(s0 + i, std::sin(2 * M_PI * phase) * std::exp(-t / 0.12) * gain, -0.2);
  }
}

void Riser(Stereo& out, double start, double length, double gain, uint32_t seed) {
  const size_t s0 = At(start), n = At(length);
  Noise nz(seed);
  Svf f;
  for (size_t i = 0; i < n; ++i) {
    const double u = double(i) / n;
    f.Run(nz.Next(), 300 + 9000 * u * u, 2.0);
    out.Add(s0 + i, f.band * u * u * gain, std::sin(u * 12) * 0.6);
  }
}

void Reverb(Stereo& buf, double wet, double roomSize) {
  // Schroeder: parallel combs into series allpasses, per side with offset
  // lengths so the tail spreads across the stereo field.
  const int combs[4] = {1557, 1617, 1491, 1422}, aps[2] = {225, 556};
  for (int side = 0; side < 2; ++side) {
    std::vector<float>& x = side ? buf.r : buf.l;
    const int spread = side ? 23 : 0;
    std::vector<std::vector<float>> cb(4), ab(2);
    std::vector<size_t> ci(4, 0), ai(2, 0);
    std::vector<float> cs(4, 0.f);
    for (int k = 0; k < 4; ++k) cb[k].assign(size_t(combs[k] + spread), 0.f);
    for (int k = 0; k < 2; ++k) ab[k].assign(size_t(aps[k] + spread), 0.f);
    const float fb = float(0.7 + 0.28 * roomSize), damp = 0.3f;
    for (size_t i = 0; i < x.size(); ++i) {
      const float in = x[i] * 0.25f;
      float sum = 0;
      for (int k = 0; k < 4; ++k) {
        float& cell = cb[k][ci[k]];
        const float y = cell;
        cs[k] = y * (1 - damp) + cs[k] * damp;
        cell = in + cs[k] * fb;
        sum += y;
        if (++ci[k] == cb[k].size()) ci[k] = 0;
      }
      for (int k = 0; k < 2; ++k) {
        float& cell = ab[k][ai[k]];
        const float y = cell - sum;
        cell = sum + cell * 0.5f;
        sum = y;
        if (++ai[k] == ab[k].size()) ai[k] = 0;
      }
      x[i] += float(wet) * sum;
    }
  }
}

void Echo(Stereo& buf, double delaySec, double feedback, double wet) {
  const size_t d = At(delaySec);
  for (int side = 0; side < 2; ++side) {
    std::vector<float>& x = side ? buf.r : buf.l;
    const size_t dd = side ? d + d / 2 : d;  // uneven sides: a ping-pong feel
    std::vector<float> line(x.size(), 0.f);
    for (size_t i = 0; i < x.size(); ++i) {
      const float back = i >= dd ? line[i - dd] : 0.f;
      line[i] = x[i] + back * float(feedback);
      x[i] += back * float(wet);
    }
  }
}

}  // namespace vxs
