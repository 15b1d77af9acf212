// Named sounds: one DirectShow graph per MP3 file, filed under a short name.
// Everything runs on the user-interface thread.
#pragma once

// The standard headers come first: <dshow.h> brings in <strsafe.h>, which
// poisons the wide printf family that <string> refers to.
#include <functional>
#include <map>
#include <string>

#include <windows.h>
#include <dshow.h>
#include <mmsystem.h>

// The private message a sound's graph posts to the window, whose procedure
// hands it to HandleGraphEvent: lParam is the address of the sound's record
// in g_sounds.
#define WM_APP_SOUND_EVENT (WM_APP + 9999)

namespace DShowHLP {

struct Sound {
  IGraphBuilder* graph;
  IMediaControl* control;
  IMediaSeeking* seeking;
  IMediaEventEx* events;  // null unless looping notification is armed
};

// Ordered as wide strings compare; the transparent comparison lets a play
// look its name up without building a string (a frame allocates nothing).
extern std::map<std::wstring, Sound, std::less<>> g_sounds;

int Startup();
void LoadSound(const wchar_t* path, const wchar_t* name);  // throws int -1 on failure
void PlayFromStart(const wchar_t* name, int loop, HWND hwnd);
void Play(const wchar_t* name, int loop, HWND hwnd);
void Stop(const wchar_t* name);
void StartSound(Sound* sound, int loop, HWND hwnd);
void StopAndRewind(Sound* sound);
void HandleGraphEvent(Sound* sound);
void Cleanup();

}  // namespace DShowHLP
