// Vexalon's Linux stand-in for <mmsystem.h>: the multimedia clock, and
// whether there is anything to play sound on.
#pragma once
#include <windows.h>

// Milliseconds since an arbitrary start; wraps after about 49.7 days.
DWORD WINAPI timeGetTime();

// The sound outputs SDL's audio driver offers; 0 where audio does not start
// or the dummy driver is chosen.
UINT WINAPI waveOutGetNumDevs();
