// Vexalon's Linux stand-in for <dshow.h>: filter graphs that play MP3 files.
// Placeholder declarations; platform/dshow implements them.
#pragma once
#include <windows.h>

struct IGraphBuilder;
struct IMediaControl;
struct IMediaSeeking;
struct IMediaEventEx;
