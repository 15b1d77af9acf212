// Critical sections, the millisecond clock, Sleep and the last-error value.
#include <windows.h>
#include <mmsystem.h>

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
