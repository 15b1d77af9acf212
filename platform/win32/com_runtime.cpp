// The COM runtime: per-thread initialisation counts and the class table.
#include "vx_com.h"

#include <mutex>
#include <vector>

namespace {

struct ComClass {
  CLSID clsid;
  VxClassFactory factory;
};

thread_local int t_initCount = 0;
// Never destroyed: worker threads can still run while exit() tears statics
// down (Xlib exits the process when the display goes away).
std::mutex& g_classesMutex = *new std::mutex;
std::vector<ComClass>& g_classes = *new std::vector<ComClass>;
std::once_flag g_familiesRegistered;

}  // namespace

void VxRegisterComClass(REFCLSID clsid, VxClassFactory factory) {
  std::lock_guard<std::mutex> lock(g_classesMutex);
  for (ComClass& c : g_classes) {
    if (IsEqualCLSID(c.clsid, clsid)) {
      c.factory = factory;
      return;
    }
  }
  g_classes.push_back(ComClass{clsid, factory});
}

HRESULT WINAPI CoInitialize(LPVOID) { return t_initCount++ == 0 ? S_OK : S_FALSE; }

void WINAPI CoUninitialize() {
  if (t_initCount > 0) --t_initCount;
}

HRESULT WINAPI CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID iid, LPVOID* object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (t_initCount == 0) return CO_E_NOTINITIALIZED;
  if (outer) return CLASS_E_NOAGGREGATION;
  std::call_once(g_familiesRegistered, [] {
    VxRegisterWicClasses();
    VxRegisterDShowClasses();
  });
  VxClassFactory factory = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_classesMutex);
    for (const ComClass& c : g_classes) {
      if (IsEqualCLSID(c.clsid, clsid)) factory = c.factory;
    }
  }
  if (!factory) return REGDB_E_CLASSNOTREG;
  return factory(iid, object);
}
