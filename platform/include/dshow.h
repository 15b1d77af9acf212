// Vexalon's Linux stand-in for the part of <dshow.h> the game uses: filter
// graphs that play MP3 files. Declarations only; platform/dshow implements
// them (libmpg123 decoding, SDL2 audio). Names and signatures follow the
// Windows API so the game sources build unchanged against either; the
// identifiers and error values are this layer's own.
#pragma once
#include <windows.h>

typedef double REFTIME;
typedef LONG_PTR OAEVENT;
typedef LONG_PTR OAHWND;
typedef long OAFilterState;

enum _FilterState { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
typedef _FilterState FILTER_STATE;

// Positions are in 100 ns units.
enum AM_SEEKING_SEEKING_FLAGS {
  AM_SEEKING_NoPositioning = 0x0,
  AM_SEEKING_AbsolutePositioning = 0x1,
  AM_SEEKING_RelativePositioning = 0x2,
  AM_SEEKING_IncrementalPositioning = 0x3,
  AM_SEEKING_PositioningBitsMask = 0x3,
  AM_SEEKING_SeekToKeyFrame = 0x4,
  AM_SEEKING_ReturnTime = 0x8,
  AM_SEEKING_Segment = 0x10,
  AM_SEEKING_NoFlush = 0x20,
};

// Graph events.
#define EC_COMPLETE 0x01

// What a failed RenderFile returns besides the file-system errors
// (HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), E_ACCESSDENIED).
#define VFW_E_INVALID_FILE_FORMAT VX_HR(0x80040A01u)  // empty or cut short before any audio
#define VFW_E_UNSUPPORTED_STREAM VX_HR(0x80040A02u)   // not MPEG audio, or no audio frame in it
#define VFW_E_NOT_FOUND VX_HR(0x80040A03u)
#define VFW_E_CANNOT_RENDER VX_HR(0x80040A04u)        // no mixer could be had
#define VFW_E_WRONG_STATE VX_HR(0x80040A05u)          // the graph already holds a file
// Never returned here: without a device the mix plays on by the clock.
#define VFW_E_NO_AUDIO_HARDWARE VX_HR(0x80040A06u)

VX_DEFINE_UUID(IGraphBuilder, 0x6b3f1c20, 0x5d1e, 0x4a8e, 0x9b, 0x47, 0x1f, 0x0c, 0x6d, 0x52, 0xa3, 0x01);
VX_DEFINE_UUID(IMediaControl, 0x6b3f1c21, 0x5d1e, 0x4a8e, 0x9b, 0x47, 0x1f, 0x0c, 0x6d, 0x52, 0xa3, 0x01);
VX_DEFINE_UUID(IMediaSeeking, 0x6b3f1c22, 0x5d1e, 0x4a8e, 0x9b, 0x47, 0x1f, 0x0c, 0x6d, 0x52, 0xa3, 0x01);
VX_DEFINE_UUID(IMediaEvent, 0x6b3f1c23, 0x5d1e, 0x4a8e, 0x9b, 0x47, 0x1f, 0x0c, 0x6d, 0x52, 0xa3, 0x01);
VX_DEFINE_UUID(IMediaEventEx, 0x6b3f1c24, 0x5d1e, 0x4a8e, 0x9b, 0x47, 0x1f, 0x0c, 0x6d, 0x52, 0xa3, 0x01);
VX_DEFINE_GUID(IID_IGraphBuilder, 0x6b3f1c20, 0x5d1e, 0x4a8e, 0x9b, 0x47, 0x1f, 0x0c, 0x6d, 0x52, 0xa3, 0x01);
VX_DEFINE_GUID(IID_IMediaControl, 0x6b3f1c21, 0x5d1e, 0x4a8e, 0x9b, 0x47, 0x1f, 0x0c, 0x6d, 0x52, 0xa3, 0x01);
VX_DEFINE_GUID(IID_IMediaSeeking, 0x6b3f1c22, 0x5d1e, 0x4a8e, 0x9b, 0x47, 0x1f, 0x0c, 0x6d, 0x52, 0xa3, 0x01);
VX_DEFINE_GUID(IID_IMediaEvent, 0x6b3f1c23, 0x5d1e, 0x4a8e, 0x9b, 0x47, 0x1f, 0x0c, 0x6d, 0x52, 0xa3, 0x01);
VX_DEFINE_GUID(IID_IMediaEventEx, 0x6b3f1c24, 0x5d1e, 0x4a8e, 0x9b, 0x47, 0x1f, 0x0c, 0x6d, 0x52, 0xa3, 0x01);
VX_DEFINE_GUID(CLSID_FilterGraph, 0x6b3f1c2f, 0x5d1e, 0x4a8e, 0x9b, 0x47, 0x1f, 0x0c, 0x6d, 0x52, 0xa3, 0x01);

// A graph holds one rendered file.
struct IGraphBuilder : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) = 0;
};

// Run plays from the current position; Stop halts and keeps it; Pause is Stop
// that reports State_Paused.
struct IMediaControl : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Run() = 0;
  virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
  virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetState(LONG msTimeout, OAFilterState* pfs) = 0;
};

// Only the current position can be set; the stop position is always the end.
struct IMediaSeeking : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* pDuration) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* pStop) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* pCurrent) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                                                 DWORD dwStopFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) = 0;
};

// GetEvent fails with E_ABORT when no event arrives within msTimeout
// (negative: wait for ever).
struct IMediaEvent : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetEvent(long* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2,
                                             long msTimeout) = 0;
  virtual HRESULT STDMETHODCALLTYPE FreeEventParams(long lEvCode, LONG_PTR lParam1, LONG_PTR lParam2) = 0;
};

// With a window set, every queued event posts (lMsg, 0, lInstanceData) to it.
struct IMediaEventEx : IMediaEvent {
  virtual HRESULT STDMETHODCALLTYPE SetNotifyWindow(OAHWND hwnd, long lMsg, LONG_PTR lInstanceData) = 0;
};
