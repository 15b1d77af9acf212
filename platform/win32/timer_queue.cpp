// Timer queues: one worker thread per queue runs every callback of its
// timers, in due order.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  WAITORTIMERCALLBACK callback;
  PVOID parameter;
  Clock::time_point due;
  Clock::duration period;  // zero: runs once
  bool finished = false;
};

struct Queue {
  std::mutex mutex;
  // Signals the worker (timers changed, stop) and deleters (a callback ended).
  std::condition_variable changed;
  std::map<uintptr_t, std::shared_ptr<Timer>> timers;
  uintptr_t running = 0;
  bool stopping = false;
  std::thread worker;
  std::thread::id workerId;
};

// Never destroyed: worker threads can still run while exit() tears statics
// down (Xlib exits the process when the display goes away).
std::mutex& g_queuesMutex = *new std::mutex;
std::map<uintptr_t, std::shared_ptr<Queue>>& g_queues = *new std::map<uintptr_t, std::shared_ptr<Queue>>;
std::shared_ptr<Queue>* g_defaultQueue = nullptr;  // never deleted, never joined
std::atomic<uintptr_t> g_nextId{1};

HANDLE NewHandle() { return reinterpret_cast<HANDLE>((g_nextId++ << 4) | 0x4); }

void RunQueue(std::shared_ptr<Queue> queue) {
  std::unique_lock<std::mutex> lock(queue->mutex);
  while (!queue->stopping) {
    uintptr_t nextId = 0;
    std::shared_ptr<Timer> next;
    for (auto& entry : queue->timers) {
      if (!entry.second->finished && (!next || entry.second->due < next->due)) {
        nextId = entry.first;
        next = entry.second;
      }
    }
    if (!next) {
      queue->changed.wait(lock);
      continue;
    }
    Clock::time_point now = Clock::now();
    if (now < next->due) {
      queue->changed.wait_until(lock, next->due);
      continue;
    }
    if (next->period == Clock::duration::zero()) {
      next->finished = true;
    } else {
      // Keep the schedule: a late run is followed by the next one on time,
      // but after a long stall skip the runs that were missed outright.
      next->due += next->period;
      if (now - next->due > 4 * next->period) next->due += ((now - next->due) / next->period) * next->period;
    }
    queue->running = nextId;
    lock.unlock();
    next->callback(next->parameter, TRUE);
    lock.lock();
    queue->running = 0;
    queue->changed.notify_all();
  }
}

// Null when the system has no thread to spare.
std::shared_ptr<Queue> StartQueue() {
  auto queue = std::make_shared<Queue>();
  try {
    queue->worker = std::thread(RunQueue, queue);
  } catch (const std::system_error&) {
    return nullptr;
  }
  queue->workerId = queue->worker.get_id();
  return queue;
}

std::shared_ptr<Queue> FindQueue(HANDLE handle, bool createDefault) {
  std::lock_guard<std::mutex> lock(g_queuesMutex);
  if (!handle) {
    if (!g_defaultQueue && createDefault) {
      std::shared_ptr<Queue> queue = StartQueue();
      if (queue) g_defaultQueue = new std::shared_ptr<Queue>(queue);
    }
    return g_defaultQueue ? *g_defaultQueue : nullptr;
  }
  auto it = g_queues.find(reinterpret_cast<uintptr_t>(handle));
  return it == g_queues.end() ? nullptr : it->second;
}

}  // namespace

HANDLE WINAPI CreateTimerQueue() {
  std::shared_ptr<Queue> queue = StartQueue();
  if (!queue) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  HANDLE handle = NewHandle();
  std::lock_guard<std::mutex> lock(g_queuesMutex);
  g_queues[reinterpret_cast<uintptr_t>(handle)] = queue;
  return handle;
}

BOOL WINAPI CreateTimerQueueTimer(HANDLE* newTimer, HANDLE timerQueue, WAITORTIMERCALLBACK callback,
                                  PVOID parameter, DWORD dueTime, DWORD period, ULONG flags) {
  if (!newTimer || !callback) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::shared_ptr<Queue> queue = FindQueue(timerQueue, true);
  if (!queue) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto timer = std::make_shared<Timer>();
  timer->callback = callback;
  timer->parameter = parameter;
  timer->due = Clock::now() + std::chrono::milliseconds(dueTime);
  timer->period = (flags & WT_EXECUTEONLYONCE) ? Clock::duration::zero()
                                               : Clock::duration(std::chrono::milliseconds(period));
  HANDLE handle = NewHandle();
  {
    std::lock_guard<std::mutex> lock(queue->mutex);
    if (queue->stopping) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    queue->timers[reinterpret_cast<uintptr_t>(handle)] = timer;
  }
  queue->changed.notify_all();
  *newTimer = handle;
  return TRUE;
}

BOOL WINAPI DeleteTimerQueueTimer(HANDLE timerQueue, HANDLE timer, HANDLE completionEvent) {
  std::shared_ptr<Queue> queue = FindQueue(timerQueue, false);
  if (!queue) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  uintptr_t id = reinterpret_cast<uintptr_t>(timer);
  std::unique_lock<std::mutex> lock(queue->mutex);
  if (!queue->timers.erase(id)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  queue->changed.notify_all();
  // A callback deleting its own timer must not wait for itself.
  if (completionEvent == INVALID_HANDLE_VALUE && std::this_thread::get_id() != queue->workerId) {
    queue->changed.wait(lock, [&] { return queue->running != id; });
  }
  return TRUE;
}

BOOL WINAPI DeleteTimerQueueEx(HANDLE timerQueue, HANDLE completionEvent) {
  std::shared_ptr<Queue> queue;
  {
    std::lock_guard<std::mutex> lock(g_queuesMutex);
    auto it = g_queues.find(reinterpret_cast<uintptr_t>(timerQueue));
    if (it == g_queues.end()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    queue = it->second;
    g_queues.erase(it);
  }
  {
    std::lock_guard<std::mutex> lock(queue->mutex);
    queue->stopping = true;
    queue->timers.clear();
  }
  queue->changed.notify_all();
  // Joining the worker waits out a running callback; the worker ends as soon
  // as that returns, or at once when it was idle.
  if (completionEvent == INVALID_HANDLE_VALUE && std::this_thread::get_id() != queue->workerId) {
    queue->worker.join();
  } else {
    queue->worker.detach();
  }
  return TRUE;
}
