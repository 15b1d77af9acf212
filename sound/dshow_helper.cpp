// Placeholder until the named sounds land: nothing loads, nothing plays.
#include "dshow_helper.h"

namespace DShowHLP {
std::map<std::wstring, Sound> g_sounds;
int Startup() { return 1; }
void LoadSound(const wchar_t*, const wchar_t*) {}
void PlayFromStart(const wchar_t*, int, HWND) {}
void Play(const wchar_t*, int, HWND) {}
void Stop(const wchar_t*) {}
void StartSound(Sound*, int, HWND) {}
void StopAndRewind(Sound*) {}
void HandleGraphEvent(Sound*) {}
void Cleanup() {}
}  // namespace DShowHLP
