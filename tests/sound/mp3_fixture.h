// MP3 files made at test time with LAME from synthetic signals.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace soundtest {

// `seconds` of a sine at `hz` (amplitude `amp`), encoded at `rate` with LAME's
// gapless tag, so a decoder gives back exactly the samples put in.
std::vector<uint8_t> EncodeTone(double hz, double seconds, int rate = 44100, int channels = 2, float amp = 0.3f);
// A tone whose pitch rises over its length: every stretch of it is different.
std::vector<uint8_t> EncodeSweep(double fromHz, double toHz, double seconds, int rate = 44100);

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Power of `hz` in interleaved stereo (left channel), normalised so a full
// sine of amplitude a gives about a*a/4.
double ToneLevel(const std::vector<float>& stereo, int rate, double hz);
double Peak(const std::vector<float>& stereo, size_t fromFrame = 0, size_t frames = SIZE_MAX);

}  // namespace soundtest
