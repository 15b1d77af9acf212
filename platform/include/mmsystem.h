// Vexalon's Linux stand-in for <mmsystem.h>: the multimedia clock.
#pragma once
#include <windows.h>

// Milliseconds since an arbitrary start; wraps after about 49.7 days.
DWORD WINAPI timeGetTime();
