// Contract between the windowing family (platform/win32) and the drawing
// family (platform/d2d).
#pragma once
#include <windows.h>

struct SDL_Window;

// The SDL window behind hwnd, or null when hwnd is not a live window (or the
// layer runs without a display). User-interface thread only. Windows are made
// with SDL_WINDOW_OPENGL after an OpenGL 3.3 core context has been requested.
SDL_Window* VxSdlWindowOf(HWND hwnd);

// The client size the window was created with (600 x 720 for the game), which
// is the picture's size whatever size a window manager forces on the window.
bool VxClientSizeOf(HWND hwnd, int* width, int* height);

// Why no OpenGL 3.3 core context can be had, from the driver or Mesa's
// software renderer (tried once when video starts); null while one can.
const char* VxNoOpenGlReason();

// Ends the process with one line on stderr and exit code 1 when the window's
// display connection has failed (the compositor went away), as Xlib does
// when the X server goes away. Call before presenting and after pumping
// events; does nothing off Wayland. User-interface thread only.
void VxEndIfDisplayLost(SDL_Window* window);
