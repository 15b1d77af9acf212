// Test seams of the DirectShow family: for tests and benchmarks, never for
// the game. Linux only.
#pragma once
#include <windows.h>

namespace vxtest {

// While on, nothing plays the mixer by itself (no device callback, no clock):
// PullMixerOutput alone advances every running graph. Stays set across
// mixer restarts.
void UseManualMixer(bool on);

// Mixes the next `frames` frames of every running graph into `stereo`
// (interleaved left/right floats), decoding what they need first, then
// delivers the completions reached. False (nothing written) unless manual
// mode is on and at least one graph holds a file.
bool PullMixerOutput(float* stereo, int frames);

// The mixer's rate in frames per second; 0 while no graph holds a file.
int MixerRate();

// True while no audio device plays the mix (none, the dummy driver, or lost).
bool MixerIsSilent();

// The buffer of the audio device that plays the mix, in frames at its rate;
// false, with nothing written, while none does.
bool MixerDeviceBuffer(int* frames, int* rate);

// Filter graphs alive in the process.
int LiveFilterGraphs();

// The next RenderFile of any graph fails with `failure`, opening nothing.
void FailNextRenderFile(HRESULT failure);

}  // namespace vxtest
