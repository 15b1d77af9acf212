// The game's pieces of music and its three effects, rendered to float audio.
#pragma once
#include "synth.h"

namespace vxs {

// Peak levels after mastering: music leaves room for an effect on top of it
// in the mixer without the sum passing full scale.
constexpr double kMusicPeak = 0.32;
constexpr double kEffectPeak = 0.42;

Stereo RenderSong(int index);  // 0: launch, 1: mid-stage, 2: climax
Stereo RenderExplosion();
Stereo RenderShot();
Stereo RenderLockBlip();

// Scales to the given peak, with a gentle saturation first so the loudest
// hits don't decide the level of everything else.
void Master(Stereo& s, double peak, double drive);

}  // namespace vxs
