// Named sounds: each MP3 file is one filter graph, kept in g_sounds under its
// name. Every function runs on the user-interface thread.
#include "dshow_helper.h"

#include <cctype>
#include <cstdio>

namespace DShowHLP {

std::map<std::wstring, Sound, std::less<>> g_sounds;

namespace {

// Cleanup balances Startup's CoInitialize only when that one succeeded.
bool g_comStarted = false;
bool g_toldSoundOff = false;

// RenderFile fails so wherever no chain of filters ends in a renderer,
// which on a machine with no sound output is every file; only winmm can
// tell that from a file that cannot be played.
bool NoSoundOutput(HRESULT rendered) {
  return (rendered == VFW_E_CANNOT_RENDER || rendered == VFW_E_NO_AUDIO_HARDWARE) && waveOutGetNumDevs() == 0;
}

// One line, as the platform's own: "program: sound is off: why", the
// program being the file's name without folder or ".exe".
void TellSoundOff() {
  if (g_toldSoundOff) return;
  g_toldSoundOff = true;
  wchar_t path[MAX_PATH] = L"";
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::string program;
  for (DWORD i = 0; i < length && i < MAX_PATH; ++i) {
    if (path[i] == L'\\' || path[i] == L'/') {
      program.clear();
    } else {
      program += path[i] < 0x80 ? char(path[i]) : '?';
    }
  }
  std::string extension = program.size() > 4 ? program.substr(program.size() - 4) : "";
  for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".exe") program.resize(program.size() - 4);
  std::fprintf(stderr, "%s: sound is off: there is no sound output device\n", program.c_str());
}

void Rewind(Sound* sound) {
  LONGLONG pos = 0;
  sound->seeking->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

void DropNotification(Sound* sound) {
  sound->events->SetNotifyWindow(0, 0, 0);
  sound->events->Release();
  sound->events = nullptr;
}

}  // namespace

int Startup() {
  g_comStarted = SUCCEEDED(CoInitialize(nullptr));
  return g_comStarted ? 1 : 0;
}

void LoadSound(const wchar_t* path, const wchar_t* name) {
  Sound nsd = {};
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                IID_IGraphBuilder, reinterpret_cast<void**>(&nsd.graph));
  if (FAILED(hr) || !nsd.graph) throw -1;
  const HRESULT rendered = nsd.graph->RenderFile(path, nullptr);
  if (FAILED(rendered)) {
    nsd.graph->Release();
    if (!NoSoundOutput(rendered)) throw -1;
    // Kept silent, as no name is filed: playing or stopping it does nothing.
    TellSoundOff();
    return;
  }
  nsd.graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&nsd.control));
  nsd.graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&nsd.seeking));
  if (!nsd.control || !nsd.seeking) {
    if (nsd.control) nsd.control->Release();
    if (nsd.seeking) nsd.seeking->Release();
    nsd.graph->Release();
    throw -1;
  }
  if (!g_sounds.insert(std::make_pair(std::wstring(name), nsd)).second) {
    nsd.control->Release();
    nsd.graph->Release();
    nsd.seeking->Release();
    throw -1;
  }
}

void PlayFromStart(const wchar_t* name, int loop, HWND hwnd) {
  auto it = g_sounds.find(name);
  if (it == g_sounds.end()) return;
  StopAndRewind(&it->second);
  StartSound(&it->second, loop, hwnd);
}

void Play(const wchar_t* name, int loop, HWND hwnd) {
  auto it = g_sounds.find(name);
  if (it == g_sounds.end()) return;
  StartSound(&it->second, loop, hwnd);
}

void Stop(const wchar_t* name) {
  auto it = g_sounds.find(name);
  if (it == g_sounds.end()) return;
  StopAndRewind(&it->second);
}

void StartSound(Sound* sound, int loop, HWND hwnd) {
  if (loop) {
    if (!sound->events && hwnd) {
      sound->graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&sound->events));
      if (sound->events) {
        sound->events->SetNotifyWindow(reinterpret_cast<OAHWND>(hwnd), WM_APP_SOUND_EVENT,
                                       reinterpret_cast<LONG_PTR>(sound));
      }
    }
  } else if (sound->events) {
    DropNotification(sound);
  }
  sound->control->Run();
}

void StopAndRewind(Sound* sound) {
  sound->control->Stop();
  Rewind(sound);
}

void HandleGraphEvent(Sound* sound) {
  // Any program can post this message with any lParam: act only on a record
  // of ours that still listens, found by address without touching the pointer.
  Sound* ours = nullptr;
  for (auto& entry : g_sounds) {
    if (&entry.second == sound) ours = &entry.second;
  }
  if (!ours || !ours->events) return;
  long evCode = 0;
  LONG_PTR param1 = 0, param2 = 0;
  while (SUCCEEDED(ours->events->GetEvent(&evCode, &param1, &param2, 0))) {
    ours->events->FreeEventParams(evCode, param1, param2);
    if (evCode == EC_COMPLETE) {
      Rewind(ours);
      ours->control->Run();
    }
  }
}

void Cleanup() {
  for (auto it = g_sounds.begin(); it != g_sounds.end(); ++it) {
    Sound& sound = it->second;
    sound.control->Stop();
    sound.control->Release();
    sound.graph->Release();
    sound.seeking->Release();
    if (sound.events) {
      sound.events->SetNotifyWindow(0, 0, 0);
      sound.events->Release();
    }
  }
  g_sounds.clear();
  if (g_comStarted) CoUninitialize();
  g_comStarted = false;
}

}  // namespace DShowHLP
