// The three pieces, written as sections of chords, melody and parts, and a
// sequencer that plays them through the synthesiser.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "sounds.h"

namespace vxs {
namespace {

struct Chord {
  int root = 0;  // pitch class, C = 0
  bool minor = false, seventh = false;
};

Chord ParseChord(const std::string& s) {
  static const int base[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
  Chord c;
  size_t i = 0;
  c.root = base[s[i++] - 'A'];
  if (i < s.size() && s[i] == '#') c.root += 1, ++i;
  if (i < s.size() && s[i] == 'b') c.root += 11, ++i;
  c.root %= 12;
  if (i < s.size() && s[i] == 'm') c.minor = true, ++i;
  if (i < s.size() && s[i] == '7') c.seventh = true;
  return c;
}

// "E5", "F#6", "Bb4" -> MIDI number; "-" holds, "." rests (-1, -2).
int ParseNote(const std::string& t) {
  if (t == "-") return -1;
  if (t == ".") return -2;
  static const int base[7] = {9, 11, 0, 2, 4, 5, 7};
  int pc = base[t[0] - 'A'];
  size_t i = 1;
  if (t[i] == '#') pc += 1, ++i;
  else if (t[i] == 'b') pc -= 1, ++i;
  return 12 * (std::stoi(t.substr(i)) + 1) + pc;
}

std::vector<std::string> Split(const char* s) {
  std::vector<std::string> out;
  std::string text = s ? s : "";
  for (char& c : text)
    if (c == '|') c = ' ';  // bar lines are only for reading
  std::istringstream in(text);
  std::string w;
  while (in >> w) out.push_back(w);
  return out;
}

struct Section {
  int bars;
  const char* chords;   // one per bar, cycled
  const char* melody;   // eighth notes, cycled; null for none
  int drums;            // 0 none, 1 light, 2 full, 3 half-time
  bool bass, arp, pad;
  bool fill;            // snare fill in the last bar
  bool crash;           // crash on the first beat
  bool riser;           // noise riser over the last bar
};

struct Song {
  double bpm;
  const char* bassPattern;  // 16 steps: R root, O octave, F fifth, m minor 7th, - hold, . rest
  const char* kick;
  const char* snare;
  const char* hat;          // x closed, o open
  Patch lead, bass, pad, arp;
  double leadGain, bassGain, padGain, arpGain, drumGain;
  double echo;
  std::vector<Section> sections;
  double tail;  // seconds after the last bar
  uint32_t seed;
};

struct Mix {
  Stereo dry, wet, lead;
  explicit Mix(size_t n) : dry(n), wet(n), lead(n) {}
};

std::vector<int> ChordTones(const Chord& c, int octaveBase) {
  const int r = octaveBase + c.root;
  std::vector<int> t = {r, r + (c.minor ? 3 : 4), r + 7};
  if (c.seventh) t.push_back(r + 10);
  return t;
}

Stereo Render(const Song& song) {
  const double bar = 4 * 60.0 / song.bpm, step = bar / 16;
  int totalBars = 0;
  for (const Section& s : song.sections) totalBars += s.bars;
  const double length = totalBars * bar + song.tail;
  Mix mix(size_t(length * kRate) + 1);
  uint32_t seed = song.seed;

  double t0 = 0;
  for (size_t si = 0; si < song.sections.size(); ++si) {
    const Section& sec = song.sections[si];
    const std::vector<std::string> chords = Split(sec.chords);
    const std::vector<std::string> mel = Split(sec.melody);
    const bool lastSection = si + 1 == song.sections.size();
    for (int b = 0; b < sec.bars; ++b) {
      const double tb = t0 + b * bar;
      const Chord ch = ParseChord(chords[size_t(b) % chords.size()]);
      const bool lastBar = b == sec.bars - 1;
      const bool finalBar = lastSection && lastBar;

      if (sec.pad) {
        const double held = finalBar ? bar + song.tail * 0.6 : bar * 0.98;
        int k = 0;
        for (int n : ChordTones(ch, 48)) {
          RenderNote(mix.wet, tb, held, MidiToHz(n + 12 * (k == 0)), song.padGain, (k % 2) ? 0.6 : -0.6,
                     song.pad, ++seed);
          ++k;
        }
      }
      if (sec.arp && !finalBar) {
        const std::vector<int> tones = ChordTones(ch, 60);
        const int order[8] = {0, 1, 2, 3, 2, 1, 0, 2};
        for (int s = 0; s < 16; ++s) {
          const int idx = order[s % 8] % int(tones.size() + 1);
          const int n = idx < int(tones.size()) ? tones[size_t(idx)] : tones[0] + 12;
          RenderNote(mix.wet, tb + s * step, step * 0.6, MidiToHz(n + 12), song.arpGain,
                     (s % 2) ? 0.45 : -0.45, song.arp, ++seed);
        }
      }
      if (sec.bass) {
        const char* pat = song.bassPattern;
        for (int s = 0; s < 16; ++s) {
          const char c = pat[s];
          if (c == '-' || c == '.') continue;
          int len = 1;
          while (s + len < 16 && pat[s + len] == '-') ++len;
          int n = 36 + ch.root;
          if (n > 43) n -= 12;
          if (c == 'O') n += 12;
          if (c == 'F') n += 7;
          if (c == 'm') n += 10;
          const double held = finalBar && s == 0 ? bar : step * len * 0.85;
          RenderNote(mix.dry, tb + s * step, held, MidiToHz(n), song.bassGain, 0, song.bass, ++seed);
          if (finalBar) break;
        }
      }
      if (sec.drums > 0) {
        const double g = song.drumGain * (sec.drums == 1 ? 0.7 : 1.0);
        for (int s = 0; s < 16; ++s) {
          const double ts = tb + s * step;
          const bool inFill = sec.fill && lastBar && s >= 8;
          if (finalBar && s > 0) break;
          if (sec.drums == 3) {  // half time: kick on 1, snare on 3
            if (s == 0 || s == 10) Kick(mix.dry, ts, g);
            if (s == 8) Snare(mix.wet, ts, g * 0.75, ++seed);
            if (s % 4 == 2) Hat(mix.dry, ts, g * 0.22, false, ++seed);
            continue;
          }
          if (song.kick[s] == 'x' && (sec.drums == 2 || s % 4 == 0)) Kick(mix.dry, ts, g);
          if (inFill) {
            if (s % 2 == 0 || s >= 12) Snare(mix.wet, ts, g * (0.4 + 0.04 * (s - 8)), ++seed);
            if (s == 8 || s == 11) Tom(mix.dry, ts, g * 0.6, s == 8 ? 160 : 110);
          } else if (song.snare[s] == 'x' && sec.drums == 2) {
            Snare(mix.wet, ts, g * 0.75, ++seed);
          } else if (song.snare[s] == 'x' && s % 8 == 4) {
            Snare(mix.wet, ts, g * 0.5, ++seed);
          }
          const char h = song.hat[s];
          if (h == 'x' || h == 'o') Hat(mix.dry, ts, g * (s % 4 == 2 ? 0.3 : 0.2), h == 'o', ++seed);
        }
      }
      if (sec.crash && b == 0) Crash(mix.wet, tb, song.drumGain * 0.3, ++seed);
      if (finalBar) Crash(mix.wet, tb, song.drumGain * 0.35, ++seed);
      if (sec.riser && lastBar) Riser(mix.wet, tb, bar, 0.35, ++seed);
    }

    // Melody: eighth notes across the whole section, '-' extending a note.
    if (!mel.empty()) {
      const int slots = sec.bars * 8;
      const double eighth = bar / 8;
      for (int k = 0; k < slots; ++k) {
        const int n = ParseNote(mel[size_t(k) % mel.size()]);
        if (n < 0) continue;
        int len = 1;
        while (k + len < slots && ParseNote(mel[size_t(k + len) % mel.size()]) == -1) ++len;
        const bool last = lastSection && k + len >= slots;
        const double held = last ? eighth * len + song.tail * 0.5 : eighth * len * 0.9;
        RenderNote(mix.lead, t0 + k * eighth, held, MidiToHz(n), song.leadGain, 0.1, song.lead, ++seed);
      }
    }
    t0 += sec.bars * bar;
  }

  Echo(mix.lead, bar * 3 / 16, 0.3, song.echo);
  for (size_t i = 0; i < mix.wet.Frames(); ++i) {
    mix.wet.l[i] += mix.lead.l[i];
    mix.wet.r[i] += mix.lead.r[i];
  }
  Reverb(mix.wet, 0.5, 0.7);
  for (size_t i = 0; i < mix.dry.Frames(); ++i) {
    mix.dry.l[i] += mix.wet.l[i];
    mix.dry.r[i] += mix.wet.r[i];
  }
  // Let the last second fade to silence.
  const size_t n = mix.dry.Frames(), fade = size_t(1.0 * kRate);
  for (size_t i = 0; i < fade && i < n; ++i) {
    const float k = float(i) / float(fade);
    mix.dry.l[n - 1 - i] *= k;
    mix.dry.r[n - 1 - i] *= k;
  }
  return std::move(mix.dry);
}

Patch LeadPatch(Wave w, double cutBase, double cutRange, double vib) {
  Patch p;
  p.wave = w;
  p.wave2 = Wave::Saw;
  p.mix2 = 0.45;
  p.detuneCents = 9;
  p.amp = {0.008, 0.25, 0.75, 0.12};
  p.cut = {0.01, 0.3, 0.45, 0.2};
  p.cutBase = cutBase;
  p.cutRange = cutRange;
  p.q = 1.1;
  p.vibratoHz = 5.5;
  p.vibratoCents = vib;
  p.vibratoDelay = 0.18;
  return p;
}

Patch BassPatch(double cutRange) {
  Patch p;
  p.wave = Wave::Saw;
  p.wave2 = Wave::Square;
  p.mix2 = 0.5;
  p.octave2 = -1;
  p.detuneCents = 0;
  p.amp = {0.003, 0.15, 0.7, 0.05};
  p.cut = {0.002, 0.12, 0.15, 0.05};
  p.cutBase = 160;
  p.cutRange = cutRange;
  p.q = 1.4;
  return p;
}

Patch PadPatch() {
  Patch p;
  p.wave = Wave::Saw;
  p.wave2 = Wave::Saw;
  p.mix2 = 0.5;
  p.detuneCents = 14;
  p.amp = {0.35, 0.5, 0.8, 0.6};
  p.cut = {0.6, 0.8, 0.6, 0.6};
  p.cutBase = 500;
  p.cutRange = 1400;
  p.q = 0.7;
  return p;
}

Patch ArpPatch(Wave w) {
  Patch p;
  p.wave = w;
  p.wave2 = Wave::Square;
  p.mix2 = 0.3;
  p.detuneCents = 5;
  p.amp = {0.002, 0.09, 0.2, 0.06};
  p.cut = {0.002, 0.08, 0.1, 0.05};
  p.cutBase = 900;
  p.cutRange = 4200;
  p.q = 1.2;
  return p;
}

// Launch: A minor, heroic and bright, four-on-the-floor.
Song Launch() {
  Song s;
  s.bpm = 132;
  s.bassPattern = "R-.RO-.RR-.RO-FR";
  s.kick = "x...x...x...x...";
  s.snare = "....x.......x...";
  s.hat = "..x...x...x...xo";
  s.lead = LeadPatch(Wave::Square, 900, 3800, 18);
  s.bass = BassPatch(1400);
  s.pad = PadPatch();
  s.arp = ArpPatch(Wave::Saw);
  s.leadGain = 0.46, s.bassGain = 0.5, s.padGain = 0.09, s.arpGain = 0.1, s.drumGain = 0.72;
  s.echo = 0.28;
  const char* prog = "Am F C G";
  const char* progB = "F G Em Am F G C E";
  const char* a =
      "E5 - A5 - B5 C6 B5 A5 | C6 - - - A5 - F5 - | G5 - E5 - G5 C6 - B5 | D6 - - - B5 - G5 - |"
      "E5 - A5 - B5 C6 D6 E6 | F6 - E6 - C6 - A5 - | G5 - C6 - E6 - D6 C6 | B5 - - - - - . .";
  const char* b =
      "A5 - - C6 - - A5 - | B5 - - D6 - - B5 - | G5 - B5 - E6 - D6 - | C6 - - - - - . . |"
      "A5 - C6 - F6 - E6 - | D6 - B5 - G5 - D6 - | E6 - - - G6 - E6 - | G#5 - - - B5 - D6 -";
  const char* calm =
      "E5 - - - - - - - | F5 - - - A5 - - - | G5 - - - - - - - | B5 - - - D6 - - -";
  s.sections = {
      {4, prog, nullptr, 1, false, true, true, false, false, true},
      {8, prog, a, 2, true, true, false, true, true, false},
      {8, progB, b, 2, true, true, true, true, true, false},
      {3, prog, calm, 0, true, true, true, false, true, true},
      {8, prog, a, 2, true, true, true, true, true, false},
      {8, progB, b, 2, true, true, true, true, true, false},
      {3, "Am F G", "A5 - - - C6 - E6 - | F6 - - - E6 - C6 - | D6 - - - B5 - - -", 2, true, true, true, false, true, false},
      {1, "Am", "A5 - - - - - - -", 2, true, false, true, false, true, false},
  };
  s.tail = 2.0;
  s.seed = 1001;
  return s;
}

// Mid-stage: E minor, syncopated bass, busier hats, a half-time bridge.
Song MidStage() {
  Song s;
  s.bpm = 144;
  s.bassPattern = "R--R--O-.R-FR-O-";
  s.kick = "x..x..x...x..x..";
  s.snare = "....x.......x...";
  s.hat = "x.x.x.x.x.x.xox.";
  s.lead = LeadPatch(Wave::Saw, 700, 3000, 22);
  s.bass = BassPatch(2200);
  s.pad = PadPatch();
  s.arp = ArpPatch(Wave::Square);
  s.leadGain = 0.42, s.bassGain = 0.55, s.padGain = 0.08, s.arpGain = 0.08, s.drumGain = 0.75;
  s.echo = 0.25;
  const char* prog = "Em D C B";
  const char* progB = "Am Em C D Am Em B B";
  const char* a =
      "E5 . E5 G5 . B5 A5 G5 | F#5 - D5 - . F#5 A5 - | G5 . G5 E5 . G5 C6 B5 | B5 - - A5 - D#5 F#5 - |"
      "E5 . E5 G5 . B5 E6 D6 | D6 - A5 - . F#5 D6 - | C6 - B5 - A5 - G5 - | F#5 - - - D#5 - B4 -";
  const char* b =
      "A5 - C6 - E6 - D6 C6 | B5 - - - G5 - E5 - | C6 - E6 - G6 - F#6 E6 | F#6 - - - D6 - A5 - |"
      "A5 - C6 - E6 - A6 - | G6 - F#6 - E6 - B5 - | D#6 - F#6 - B6 - A6 - | F#6 - D#6 - B5 - - -";
  const char* bridge =
      "E6 - - - - - - - | C6 - - - - - - - | D6 - - - F#6 - - - | E6 - - - - - B5 -";
  s.sections = {
      {3, prog, nullptr, 2, true, false, false, true, false, false},
      {8, prog, a, 2, true, false, true, true, true, false},
      {8, progB, b, 2, true, true, true, true, true, false},
      {8, prog, a, 2, true, true, true, true, true, false},
      {8, "C Am Bm Em", bridge, 3, true, true, true, false, true, true},
      {8, progB, b, 2, true, true, true, true, true, false},
      {3, "Em C B", "E6 - - - G6 - F#6 - | E6 - - - C6 - - - | B5 - - - D#6 - F#6 -", 2, true, true, true, false, true, false},
      {1, "Em", "E6 - - - - - - -", 2, true, false, true, false, true, false},
  };
  s.tail = 2.0;
  s.seed = 2002;
  return s;
}

// Climax: C minor with the raised seventh, fast, sixteenth-note hats.
Song Climax() {
  Song s;
  s.bpm = 168;
  s.bassPattern = "R-R-O-R-R-R-O-Rm";
  s.kick = "x...x..xx...x...";
  s.snare = "....x.......x..x";
  s.hat = "xxxxxxxxxxxxxxox";
  s.lead = LeadPatch(Wave::Saw, 1100, 4200, 28);
  s.lead.glideFrom = 1.0;
  s.lead.glideTime = 0.03;
  s.bass = BassPatch(2600);
  s.pad = PadPatch();
  s.arp = ArpPatch(Wave::Saw);
  s.leadGain = 0.44, s.bassGain = 0.5, s.padGain = 0.08, s.arpGain = 0.09, s.drumGain = 0.75;
  s.echo = 0.2;
  const char* prog = "Cm Ab Bb G";
  const char* progB = "Fm Cm Ab G Fm Cm Db G";
  const char* a =
      "C6 - G5 - C6 D6 Eb6 - | Eb6 - C6 - Ab5 - C6 - | D6 - Bb5 - F5 - Bb5 D6 | B5 - - - G5 - B5 D6 |"
      "Eb6 - D6 - C6 - G6 - | F6 - Eb6 - C6 - Ab5 - | Bb5 - D6 - F6 - Bb6 - | G6 - F6 - D6 - B5 -";
  const char* b =
      "F6 - - Ab6 - - G6 F6 | Eb6 - - - C6 - - - | Ab5 - C6 - Eb6 - Ab6 - | G6 - - - - - F6 - |"
      "F6 - Ab6 - C7 - Bb6 Ab6 | G6 - - - Eb6 - - - | F6 - Ab6 - Db7 - C7 - | B6 - - - D7 - - -";
  const char* breakdown =
      "C6 - - - - - - - | D6 - - - - - - - | Eb6 - - - - - - - | D6 - - - B5 - - -";
  s.sections = {
      {3, prog, nullptr, 1, true, true, false, true, false, true},
      {8, prog, a, 2, true, true, true, true, true, false},
      {8, progB, b, 2, true, true, true, true, true, false},
      {8, prog, a, 2, true, true, true, true, true, false},
      {8, "Ab Bb Cm Cm", breakdown, 3, true, true, true, false, true, true},
      {8, progB, b, 2, true, true, true, true, true, false},
      {8, prog, a, 2, true, true, true, true, true, false},
      {3, "Ab Bb G", "C6 - Eb6 - Ab6 - G6 - | F6 - D6 - Bb5 - D6 - | B5 - D6 - F6 - G6 -", 2, true, true, true, false, true, false},
      {1, "Cm", "C7 - - - - - - -", 2, true, false, true, false, true, false},
  };
  s.tail = 2.0;
  s.seed = 3003;
  return s;
}

}  // namespace

Stereo RenderSong(int index) {
  Stereo out = Render(index == 0 ? Launch() : index == 1 ? MidStage() : Climax());
  Master(out, kMusicPeak, 1.8);
  return out;
}

void Master(Stereo& s, double peak, double drive) {
  double m = 1e-9;
  for (size_t i = 0; i < s.Frames(); ++i) m = std::max({m, double(std::fabs(s.l[i])), double(std::fabs(s.r[i]))});
  const double norm = std::tanh(drive);
  for (size_t i = 0; i < s.Frames(); ++i) {
    s.l[i] = float(std::tanh(drive * s.l[i] / m) / norm * peak);
    s.r[i] = float(std::tanh(drive * s.r[i] / m) / norm * peak);
  }
}

}  // namespace vxs
