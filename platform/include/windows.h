// Vexalon's Linux stand-in for the part of <windows.h> the game uses: base
// types, COM, windows and messages, timer queues and critical sections.
// Declarations only; the implementations live in platform/win32 (SDL2).
// Names and signatures follow the Windows API so the game sources build
// unchanged against either. wchar_t is native (32-bit): wide strings are
// UTF-32 here and converted at the layer's edges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

// ---- calling conventions and annotations (meaningless on this ABI) ----
#define WINAPI
#define CALLBACK
#define APIENTRY
#define STDMETHODCALLTYPE
#define STDAPI extern "C" HRESULT
#define DECLSPEC_NOTHROW
#ifndef NULL
#define NULL nullptr
#endif
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// ---- base types ----
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef int INT;
typedef unsigned int UINT;
typedef int32_t INT32;
typedef uint32_t UINT32;
typedef uint64_t UINT64;
typedef int64_t INT64;
typedef uint16_t UINT16;
typedef uint8_t UINT8;
typedef int BOOL;
typedef uint8_t BOOLEAN;
typedef float FLOAT;
typedef char CHAR;
typedef wchar_t WCHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef wchar_t* LPWSTR;
typedef const wchar_t* LPCWSTR;
typedef wchar_t* PWSTR;
typedef const wchar_t* PCWSTR;
typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef LONG HRESULT;
typedef WORD ATOM;
typedef WORD LANGID;

typedef void* HANDLE;
#define VX_DECLARE_HANDLE(name) struct name##__; typedef struct name##__* name
VX_DECLARE_HANDLE(HWND);
VX_DECLARE_HANDLE(HINSTANCE);
VX_DECLARE_HANDLE(HICON);
VX_DECLARE_HANDLE(HBRUSH);
VX_DECLARE_HANDLE(HMENU);
VX_DECLARE_HANDLE(HDC);
typedef HICON HCURSOR;
typedef HINSTANCE HMODULE;
typedef void* HGDIOBJ;

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define MAKEINTRESOURCEW(i) ((LPWSTR)(ULONG_PTR)(WORD)(i))
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define MAKELONG(a, b) ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff))) << 16))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))

// ---- HRESULT ----
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define VX_HR(x) ((HRESULT)(int32_t)(uint32_t)(x))
#define S_OK VX_HR(0x00000000u)
#define S_FALSE VX_HR(0x00000001u)
#define E_NOTIMPL VX_HR(0x80004001u)
#define E_NOINTERFACE VX_HR(0x80004002u)
#define E_POINTER VX_HR(0x80004003u)
#define E_ABORT VX_HR(0x80004004u)
#define E_FAIL VX_HR(0x80004005u)
#define E_UNEXPECTED VX_HR(0x8000FFFFu)
#define E_ACCESSDENIED VX_HR(0x80070005u)
#define E_HANDLE VX_HR(0x80070006u)
#define E_OUTOFMEMORY VX_HR(0x8007000Eu)
#define E_INVALIDARG VX_HR(0x80070057u)
#define CO_E_NOTINITIALIZED VX_HR(0x800401F0u)
#define RPC_E_CHANGED_MODE VX_HR(0x80010106u)
#define REGDB_E_CLASSNOTREG VX_HR(0x80040154u)
#define CLASS_E_NOAGGREGATION VX_HR(0x80040110u)
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_DATA 13L
#define ERROR_HANDLE_EOF 38L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_ARITHMETIC_OVERFLOW 534L
#define ERROR_DEVICE_NOT_CONNECTED 1167L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
inline HRESULT HRESULT_FROM_WIN32(unsigned long x) {
  return (HRESULT)x <= 0 ? (HRESULT)x : (HRESULT)((x & 0x0000FFFF) | (7 << 16) | 0x80000000);
}

// ---- GUIDs and COM ----
struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

// __uuidof: each interface's identifier is attached to its type with
// VX_DEFINE_UUID; __typeof__ accepts a type or an expression, as __uuidof does.
template <typename T> struct VxUuidOf;
#define VX_DEFINE_UUID(type, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  struct type;                                                         \
  template <> struct VxUuidOf<type> {                                  \
    static constexpr GUID value = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}; \
  }
#define __uuidof(x) (VxUuidOf<std::remove_cv_t<std::remove_reference_t<__typeof__(x)>>>::value)
#define VX_DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}

VX_DEFINE_UUID(IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
VX_DEFINE_GUID(IID_IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
VX_DEFINE_GUID(GUID_NULL, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
  template <class Q> HRESULT QueryInterface(Q** object) {
    return QueryInterface(__uuidof(Q), reinterpret_cast<void**>(object));
  }
};

template <typename T> void** IID_PPV_ARGS_Helper(T** pp) {
  static_assert(std::is_base_of<IUnknown, T>::value, "IID_PPV_ARGS needs a COM interface");
  return reinterpret_cast<void**>(pp);
}
#define IID_PPV_ARGS(pp) __uuidof(**(pp)), IID_PPV_ARGS_Helper(pp)

enum CLSCTX {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10,
  CLSCTX_ALL = 0x17,
};
HRESULT WINAPI CoInitialize(LPVOID reserved);
void WINAPI CoUninitialize();
HRESULT WINAPI CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, LPVOID* object);

// ---- geometry, messages, window classes ----
struct RECT { LONG left, top, right, bottom; };
typedef RECT* LPRECT;
struct POINT { LONG x, y; };
struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
typedef MSG* LPMSG;
struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};
typedef PAINTSTRUCT* LPPAINTSTRUCT;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
struct WNDCLASSEXW {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
  HICON hIconSm;
};

#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_USER 0x0400
#define WM_APP 0x8000

#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2

#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_NUMPAD0 0x60
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_F12 0x7B
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3
#define VK_LMENU 0xA4
#define VK_RMENU 0xA5

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002

#define WS_OVERLAPPED 0x00000000L
#define WS_CAPTION 0x00C00000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_VISIBLE 0x10000000L
#define WS_OVERLAPPEDWINDOW \
  (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWDEFAULT 10

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CYCAPTION 4
#define SM_CXDLGFRAME 7
#define SM_CYDLGFRAME 8
#define SM_CXFIXEDFRAME SM_CXDLGFRAME
#define SM_CYFIXEDFRAME SM_CYDLGFRAME

#define SPI_GETWORKAREA 0x0030

#define MB_OK 0x00000000L
#define MB_ICONERROR 0x00000010L
#define IDOK 1

#define IDI_APPLICATION MAKEINTRESOURCEW(32512)
#define IDC_ARROW MAKEINTRESOURCEW(32512)
#define BLACK_BRUSH 4

#define CW_USEDEFAULT ((int)0x80000000)

ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* wc);
BOOL WINAPI UnregisterClassW(LPCWSTR className, HINSTANCE instance);
HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
BOOL WINAPI DestroyWindow(HWND hwnd);
BOOL WINAPI IsWindow(HWND hwnd);
BOOL WINAPI ShowWindow(HWND hwnd, int cmdShow);
BOOL WINAPI UpdateWindow(HWND hwnd);
BOOL WINAPI GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL WINAPI TranslateMessage(const MSG* msg);
LRESULT WINAPI DispatchMessageW(const MSG* msg);
BOOL WINAPI PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void WINAPI PostQuitMessage(int exitCode);
LRESULT WINAPI DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps);
BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect);
int WINAPI GetSystemMetrics(int index);
BOOL WINAPI SystemParametersInfoW(UINT action, UINT uiParam, PVOID pvParam, UINT winIni);
int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
HICON WINAPI LoadIconW(HINSTANCE instance, LPCWSTR name);
HCURSOR WINAPI LoadCursorW(HINSTANCE instance, LPCWSTR name);
HGDIOBJ WINAPI GetStockObject(int object);
DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD error);
// The program's own file only (module null); the length copied, without the
// terminator, truncated to fit.
#define MAX_PATH 260
DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
void WINAPI Sleep(DWORD milliseconds);

// ---- critical sections ----
struct VxCriticalSectionState;
struct CRITICAL_SECTION {
  VxCriticalSectionState* state;
};
typedef CRITICAL_SECTION* LPCRITICAL_SECTION;
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION cs);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION cs);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION cs);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION cs);

// ---- timer queues ----
typedef void(CALLBACK* WAITORTIMERCALLBACK)(PVOID parameter, BOOLEAN timerOrWaitFired);
#define WT_EXECUTEDEFAULT 0x00000000
#define WT_EXECUTEONLYONCE 0x00000008
HANDLE WINAPI CreateTimerQueue();
BOOL WINAPI CreateTimerQueueTimer(HANDLE* newTimer, HANDLE timerQueue, WAITORTIMERCALLBACK callback,
                                  PVOID parameter, DWORD dueTime, DWORD period, ULONG flags);
BOOL WINAPI DeleteTimerQueueTimer(HANDLE timerQueue, HANDLE timer, HANDLE completionEvent);
BOOL WINAPI DeleteTimerQueueEx(HANDLE timerQueue, HANDLE completionEvent);

// ---- files (access rights named by the imaging API) ----
#define GENERIC_READ 0x80000000L
#define GENERIC_WRITE 0x40000000L

// Entry point of a Windows program; platform/win32 supplies main(), which calls it.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int cmdShow);
