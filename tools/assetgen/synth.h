// A small synthesiser for the game's music and effects: band-limited
// oscillators, envelopes, a resonant filter, noise, a few drum voices and a
// plate-like reverb. Everything renders offline into float buffers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vxs {

constexpr int kRate = 44100;

struct Stereo {
  std::vector<float> l, r;
  explicit Stereo(size_t frames = 0) : l(frames, 0.f), r(frames, 0.f) {}
  size_t Frames() const { return l.size(); }
  void Add(size_t i, double v, double pan);  // pan -1 (left) .. 1 (right)
};

struct Noise {
  uint32_t state;
  explicit Noise(uint32_t seed) : state(seed ? seed : 1u) {}
  double Next();  // uniform in [-1, 1)
};

// Resonant state-variable filter (trapezoidal), one sample at a time.
struct Svf {
  double ic1 = 0, ic2 = 0;
  double low = 0, band = 0, high = 0;
  void Run(double x, double cutoffHz, double q);
};

enum class Wave { Sine, Saw, Square, Triangle };

struct Adsr {
  double attack, decay, sustain, release;  // seconds, level, seconds
  double At(double t, double held) const;  // held = time the key is down
};

// One pitched voice: two detuned oscillators through a filter whose cutoff
// follows its own envelope.
struct Patch {
  Wave wave = Wave::Saw;
  Wave wave2 = Wave::Saw;
  double mix2 = 0.5, detuneCents = 8, octave2 = 0;
  Adsr amp{0.005, 0.2, 0.6, 0.15};
  Adsr cut{0.005, 0.25, 0.3, 0.2};
  double cutBase = 600, cutRange = 3000, q = 0.8;
  double vibratoHz = 0, vibratoCents = 0, vibratoDelay = 0.15;
  double glideFrom = 0;  // semitones below the note it slides up from
  double glideTime = 0;
};

void RenderNote(Stereo& out, double start, double held, double freq, double gain, double pan,
                const Patch& p, uint32_t seed);

// Drums, by hand: each takes the start time and gain.
void Kick(Stereo& out, double start, double gain);
void Snare(Stereo& out, double start, double gain, uint32_t seed);
void Hat(Stereo& out, double start, double gain, bool open, uint32_t seed);
void Crash(Stereo& out, double start, double gain, uint32_t seed);
void Tom(Stereo& out, double start, double gain, double freq);
// Rising filtered-noise sweep over `length` seconds into a section change.
void Riser(Stereo& out, double start, double length, double gain, uint32_t seed);

// Adds a reverb of the dry signal (wet amount `wet`) in place.
void Reverb(Stereo& buf, double wet, double roomSize);
// Feedback echo, one delay per side, in place.
void Echo(Stereo& buf, double delaySec, double feedback, double wet);

double MidiToHz(double midi);

}  // namespace vxs
