// The application shell: start-up and shutdown, the window and its frame
// pacing, the Direct2D and DirectWrite resources, image loading and the glow
// strokes. Everything here is process-wide state owned by the shell; the
// game draws with the resources between the paint's BeginDraw and EndDraw.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <d2d1.h>
#include <d2d1helper.h>
#include <dwrite.h>
#include <wincodec.h>

#include <atomic>

// ---- start-up and shutdown ----
extern ID2D1Factory* g_d2dFactory;
extern IDWriteFactory* g_dwriteFactory;
extern CRITICAL_SECTION g_renderLock;
extern IWICBitmapFrameDecode* g_backgroundFrame;
extern IWICBitmapFrameDecode* g_spriteFrame;
extern HANDLE g_timerQueue;

// COM, then the Direct2D factory, the DirectWrite factory and imaging, in
// start-up's order, stopping at the first failure. *comStarted says whether
// COM came up, so that shutting down knows to undo it.
HRESULT StartFactories(bool* comStarted);
// The two images from images\ below the working directory; throws the int
// -1 when one cannot be loaded.
void LoadImageAssets();
// The images and the sounds; 0, after a message box, when one cannot be loaded.
int LoadAssets();

// ---- window, keyboard and frame pacing ----
// The timer's worker threads read these while the user-interface thread
// writes them, so they are atomics.
extern std::atomic<HWND> g_mainWindow;
extern std::atomic<DWORD> g_lastTickMs;
extern std::atomic<DWORD> g_nowTickMs;
extern std::atomic<int> g_inactive;
extern BYTE g_keyDown[256];
extern BYTE g_keyLatched[256];
extern HANDLE g_delayedTimer;
extern int g_delayedPending;
extern const wchar_t kWindowClassName[];
extern const wchar_t kWindowTitle[];  // per program: see window_title.cpp

HWND CreateMainWindow(HINSTANCE instance);
LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
int KeyPressedOnce(int key);
void CALLBACK FrameTimerProc(PVOID parameter, BOOLEAN timerFired);
BOOL OnPaint(HWND hwnd);
void RenderFrame(ID2D1HwndRenderTarget* renderTarget);
void ScheduleDelayedCall(DWORD delayMs, void (*call)());
void CALLBACK DelayedCallProc(PVOID parameter, BOOLEAN timerFired);
void ReinitGameState();

// ---- Direct2D and DirectWrite resources ----
extern ID2D1HwndRenderTarget* g_renderTarget;
extern ID2D1Bitmap* g_spriteBitmap;
extern ID2D1Bitmap* g_backgroundBitmap;
extern ID2D1SolidColorBrush* g_brush;
extern IDWriteTextFormat* g_largeTextFormat;
extern IDWriteTextFormat* g_smallTextFormat;
extern ID2D1StrokeStyle* g_roundStroke;

HRESULT CreateDeviceResources(HWND hwnd);
void DiscardDeviceResources();
HRESULT CreateDeviceIndependentResources();
void DiscardDeviceIndependentResources();

// ---- image loading ----
extern IWICImagingFactory* g_wicFactory;

HRESULT WicStartup();
void WicCleanup();
// Throws the int -1 on any failure; the location is written only on success of the decode.
void LoadImageFrame(LPCWSTR path, IWICBitmapFrameDecode** frame);
HRESULT CreateBitmapFromFrame(IWICBitmapSource* frame, ID2D1RenderTarget* renderTarget, ID2D1Bitmap** bitmap);

// ---- glow strokes and geometry helpers ----
// Colours are 0xRRGGBB; the top byte is ignored.
void DrawGlowLine(ID2D1RenderTarget* renderTarget, UINT32 color, const D2D1_POINT_2F& start,
                  const D2D1_POINT_2F& end);
void DrawGlowEllipse(ID2D1RenderTarget* renderTarget, UINT32 color, const D2D1_ELLIPSE& ellipse);
void DrawGlowRect(ID2D1RenderTarget* renderTarget, UINT32 color, const D2D1_RECT_F& rect);
void DrawGlowRoundedRect(ID2D1RenderTarget* renderTarget, UINT32 color, const D2D1_RECT_F& rect);
HRESULT CreateFadeGradientBrush(ID2D1RenderTarget* renderTarget, const D2D1_COLOR_F& color,
                                ID2D1LinearGradientBrush** brush);
void AddPoints(float ax, float ay, float bx, float by, float* outX, float* outY);
void SubtractPoints(float ax, float ay, float bx, float by, float* outX, float* outY);
void RotatePoint(float* x, float* y, float angleDegrees);
