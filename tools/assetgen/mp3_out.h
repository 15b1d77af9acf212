#pragma once
#include "synth.h"

namespace vxs {
// Encodes to MP3 at 44.1 kHz with a LAME info frame, so decoders that honour
// it trim the encoder delay and padding and the sound starts on its first
// sample. `mono` folds the left channel alone. Returns false and prints one
// line on failure.
bool WriteMp3(const Stereo& s, bool mono, int kbps, const char* path);
}
