// What every platform family uses at its edges: the stderr lines that say
// why the environment or a file failed us, and the conversion of the game's
// wide strings and Windows paths.
#pragma once
#include <string>

// Wide (UTF-32) to UTF-8, the conversion at the layer's edges; invalid code
// points become U+FFFD.
std::string VxUtf32ToUtf8(const wchar_t* text);

// UTF-8 to wide (UTF-32); a byte that starts no valid sequence becomes U+FFFD.
std::wstring VxUtf8ToUtf32(const char* text);

// Resolves a path as Windows would relative to the working directory:
// backslashes become separators. Wide (UTF-32) in, UTF-8 out.
std::string VxPathToUtf8(const wchar_t* path);

// Sets what must be settled before SDL first starts (whichever family starts
// it): Ctrl-C and SIGTERM end the process as they end any program; SDL's
// session-bus connection is tried.
void VxPrepareSdl();

// Under AddressSanitizer, has LeakSanitizer pass over the leaks that SDL's
// own threads make and nobody can free; does nothing otherwise. Called by
// VxPrepareSdl, before any of those threads exists.
void VxExcuseLibraryLeaks();

// Writes one line to stderr, "program: what: detail", saying why the
// environment or a file failed us (no display, no OpenGL 3.3, no audio
// device, a file the loaders refuse). The program is the name the process
// was started under. The game code itself never logs.
void VxReportEnvironmentFailure(const char* what, const char* detail);
// The same, but only the first time this `what` is reported in the process:
// for failures that every retry would meet again.
void VxReportOnce(const char* what, const char* detail);
