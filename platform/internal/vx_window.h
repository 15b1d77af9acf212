// Contract between the windowing family (platform/win32) and the drawing
// family (platform/d2d).
#pragma once
#include <windows.h>

#include <string>

struct SDL_Window;

// The SDL window behind hwnd, or null when hwnd is not a live window (or the
// layer runs without a display). User-interface thread only. Windows are made
// with SDL_WINDOW_OPENGL after an OpenGL 3.3 core context has been requested.
SDL_Window* VxSdlWindowOf(HWND hwnd);

// The client size the window was created with (600 x 720 for the game), which
// is the picture's size whatever size a window manager forces on the window.
bool VxClientSizeOf(HWND hwnd, int* width, int* height);

// Wide (UTF-32) to UTF-8, the conversion at the layer's edges; invalid code
// points become U+FFFD.
std::string VxUtf32ToUtf8(const wchar_t* text);

// Resolves a path as Windows would relative to the working directory:
// backslashes become separators. Wide (UTF-32) in, UTF-8 out.
std::string VxPathToUtf8(const wchar_t* path);

// Sets what must be settled before SDL first starts (whichever family starts
// it): Ctrl-C and SIGTERM end the process as they end any program.
void VxPrepareSdl();

// Writes one line to stderr, "program: what: detail", saying why the
// environment or a file failed us (no display, no OpenGL 3.3, no audio
// device, a file the loaders refuse). The program is the name the process
// was started under. The game code itself never logs.
void VxReportEnvironmentFailure(const char* what, const char* detail);
// The same, but only the first time this `what` is reported in the process:
// for failures that every retry would meet again.
void VxReportOnce(const char* what, const char* detail);

// Why no OpenGL 3.3 core context can be had, from the driver or Mesa's
// software renderer (tried once when video starts); null while one can.
const char* VxNoOpenGlReason();
