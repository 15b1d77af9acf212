// Timer queues, critical sections and the COM runtime.
#include <windows.h>
#include <wincodec.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "vx_com.h"

namespace {

using namespace std::chrono_literals;

void CALLBACK CountTick(PVOID parameter, BOOLEAN) { ++*static_cast<std::atomic<int>*>(parameter); }

TEST(Win32Timers, PeriodicAndOneShotFireRoughlyOnSchedule) {
  struct Case {
    const char* name;
    DWORD due, period;
    ULONG flags;
    int minTicks, maxTicks;  // over 200 ms; loose, the machine may be loaded
  };
  const Case cases[] = {
      {"periodic 20 ms", 0, 20, WT_EXECUTEDEFAULT, 5, 14},
      {"period 0 runs once", 10, 0, WT_EXECUTEDEFAULT, 1, 1},
      {"run-once flag wins over a period", 10, 20, WT_EXECUTEONLYONCE, 1, 1},
      {"due after the window", 1000, 20, WT_EXECUTEDEFAULT, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HANDLE queue = CreateTimerQueue();
    ASSERT_NE(queue, nullptr);
    std::atomic<int> ticks{0};
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, CountTick, &ticks, c.due, c.period, c.flags));
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(DeleteTimerQueueTimer(queue, timer, INVALID_HANDLE_VALUE));
    int counted = ticks.load();
    EXPECT_GE(counted, c.minTicks);
    EXPECT_LE(counted, c.maxTicks);
    // Deleted means silent from here on.
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(ticks.load(), counted);
    EXPECT_FALSE(DeleteTimerQueueTimer(queue, timer, nullptr));
    EXPECT_TRUE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
  }
}

struct SlowCallback {
  std::atomic<int> entered{0};
  std::atomic<int> finished{0};
};

void CALLBACK Slow(PVOID parameter, BOOLEAN) {
  auto* s = static_cast<SlowCallback*>(parameter);
  ++s->entered;
  std::this_thread::sleep_for(150ms);
  ++s->finished;
}

TEST(Win32Timers, DeletingWithInvalidHandleWaitsForRunningCallback) {
  struct Case {
    const char* name;
    bool wholeQueue;
  };
  for (Case c : {Case{"DeleteTimerQueueTimer", false}, Case{"DeleteTimerQueueEx", true}}) {
    SCOPED_TRACE(c.name);
    SlowCallback state;
    HANDLE queue = CreateTimerQueue();
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, Slow, &state, 0, 10, WT_EXECUTEDEFAULT));
    while (state.entered.load() == 0) std::this_thread::sleep_for(1ms);
    if (c.wholeQueue) {
      ASSERT_TRUE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
    } else {
      ASSERT_TRUE(DeleteTimerQueueTimer(queue, timer, INVALID_HANDLE_VALUE));
    }
    EXPECT_EQ(state.finished.load(), state.entered.load());
    int ran = state.entered.load();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(state.entered.load(), ran);
    if (!c.wholeQueue) {
      EXPECT_TRUE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
    }
  }
}

TEST(Win32Timers, DeletingAnIdleQueueReturnsPromptly) {
  for (bool withTimer : {false, true}) {
    HANDLE queue = CreateTimerQueue();
    std::atomic<int> ticks{0};
    HANDLE timer = nullptr;
    if (withTimer) {
      ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, CountTick, &ticks, 5000, 5000, 0));
    }
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(ticks.load(), 0);
    EXPECT_FALSE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
  }
}

TEST(Win32Kernel, CriticalSectionIsRecursiveAndExclusive) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);
  std::atomic<bool> otherIn{false};
  std::thread other([&] {
    EnterCriticalSection(&cs);
    otherIn = true;
    LeaveCriticalSection(&cs);
  });
  LeaveCriticalSection(&cs);
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(otherIn.load());  // still held once
  LeaveCriticalSection(&cs);
  other.join();
  EXPECT_TRUE(otherIn.load());
  DeleteCriticalSection(&cs);
}

}  // namespace

VX_DEFINE_UUID(IVxTestThing, 0x1d2c3b4a, 0x1111, 0x2222, 1, 2, 3, 4, 5, 6, 7, 8);
struct IVxTestThing : IUnknown {};

namespace {

VX_DEFINE_GUID(CLSID_VxTestThing, 0x9a8b7c6d, 0x3333, 0x4444, 8, 7, 6, 5, 4, 3, 2, 1);
VX_DEFINE_GUID(CLSID_VxUnknown, 0x9a8b7c6d, 0x3333, 0x4444, 8, 7, 6, 5, 4, 3, 2, 0);

class TestThing : public VxComObject<IVxTestThing> {};

HRESULT CreateTestThing(REFIID iid, void** object) {
  auto* thing = new TestThing;
  HRESULT hr = thing->QueryInterface(iid, object);
  thing->Release();
  return hr;
}

TEST(Win32Com, InitialisationIsCountedPerThread) {
  VxRegisterComClass(CLSID_VxTestThing, CreateTestThing);
  auto create = [](REFCLSID clsid, IUnknown* outer = nullptr) {
    void* object = reinterpret_cast<void*>(1);
    HRESULT hr = CoCreateInstance(clsid, outer, CLSCTX_INPROC_SERVER, __uuidof(IVxTestThing), &object);
    if (SUCCEEDED(hr)) {
      EXPECT_NE(object, nullptr);
      static_cast<IUnknown*>(object)->Release();
    } else {
      EXPECT_EQ(object, nullptr);
    }
    return hr;
  };
  EXPECT_EQ(create(CLSID_VxTestThing), CO_E_NOTINITIALIZED);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(create(CLSID_VxTestThing), S_OK);
  EXPECT_EQ(create(CLSID_VxUnknown), REGDB_E_CLASSNOTREG);
  TestThing outer;
  EXPECT_EQ(create(CLSID_VxTestThing, &outer), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(CoCreateInstance(CLSID_VxTestThing, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IVxTestThing), nullptr),
            E_POINTER);

  std::thread([&] {
    EXPECT_EQ(create(CLSID_VxTestThing), CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(create(CLSID_VxTestThing), S_OK);
    CoUninitialize();
  }).join();

  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(create(CLSID_VxTestThing), S_OK);  // one initialisation left
  CoUninitialize();
  EXPECT_EQ(create(CLSID_VxTestThing), CO_E_NOTINITIALIZED);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

// The families' classes reach the table on first use, through the link
// alone: nothing here names the imaging family's registration.
TEST(Win32Com, FamilyClassesAreRegisteredOnFirstUse) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  IWICImagingFactory* factory = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)), S_OK);
  ASSERT_NE(factory, nullptr);
  factory->Release();
  CoUninitialize();
}

}  // namespace
