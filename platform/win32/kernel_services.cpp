// Critical sections, the millisecond clock, Sleep, the last-error value and
// the program's own file.
#include <windows.h>
#include <mmsystem.h>
#include <unistd.h>

#include "vx_support.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

struct VxCriticalSectionState {
  std::recursive_mutex mutex;  // Windows critical sections may be re-entered by their owner
};

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION cs) {
  if (cs) cs->state = new VxCriticalSectionState;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION cs) {
  if (cs && cs->state) cs->state->mutex.lock();
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION cs) {
  if (cs && cs->state) cs->state->mutex.unlock();
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION cs) {
  if (!cs) return;
  delete cs->state;
  cs->state = nullptr;
}

DWORD WINAPI timeGetTime() {
  auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
  // Truncation to 32 bits is the documented wrap of the counter.
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count());
}

void WINAPI Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    std::this_thread::yield();
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
}

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD WINAPI GetLastError() { return t_lastError; }
void WINAPI SetLastError(DWORD error) { t_lastError = error; }

DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  char path[4096];
  const ssize_t n = module ? -1 : readlink("/proc/self/exe", path, sizeof path - 1);
  if (n < 0 || !fileName || size == 0) {
    SetLastError(module ? ERROR_INVALID_PARAMETER : ERROR_FILE_NOT_FOUND);
    return 0;
  }
  path[n] = 0;
  const std::wstring wide = VxUtf8ToUtf32(path);
  const DWORD copied = std::min<DWORD>(DWORD(wide.size()), size - 1);
  std::copy(wide.begin(), wide.begin() + copied, fileName);
  fileName[copied] = 0;
  if (copied < wide.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  return copied;
}
