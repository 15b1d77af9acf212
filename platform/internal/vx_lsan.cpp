// Where LeakSanitizer is told to pass over a leak of a library below us
// that no suppression can name narrowly (tests/lsan.supp lists the rest);
// nothing outside AddressSanitizer builds.
#include "vx_support.h"

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
#include <link.h>
#include <sanitizer/lsan_interface.h>
#include <sys/prctl.h>
#include <unwind.h>

#include <cstdint>
#include <cstring>

// The sanitizer runtime's, declared here: GCC ships no header for it.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                          void (*onFree)(const volatile void*));

namespace {

// SDL 2.26's PulseAudio driver, on the thread it names so, asks the server
// about each sink that changes (ours does as it starts playing) and never
// releases the request. libpulse keeps no frame pointers, so the stack
// LeakSanitizer records ends at pa_xmalloc, and a suppression could only
// name all of libpulse: the allocation is told apart as it is made instead.
constexpr char kHotplugThread[] = "PulseHotplug";
constexpr char kLeakingCall[] = "pa_context_get_sink_info_by_index";
constexpr int kMaxDepth = 32;

struct Search {
  int depth = 0;
  bool found = false;
};

// Inside the exported function itself, not just past its start: dladdr
// names the closest exported symbol below any address.
bool InLeakingCall(uintptr_t ip) {
  Dl_info info;
  void* entry = nullptr;
  if (!dladdr1(reinterpret_cast<void*>(ip), &info, &entry, RTLD_DL_SYMENT)) return false;
  const auto* symbol = static_cast<const ElfW(Sym)*>(entry);
  if (!symbol || !info.dli_sname || std::strcmp(info.dli_sname, kLeakingCall) != 0) return false;
  const uintptr_t start = reinterpret_cast<uintptr_t>(info.dli_saddr);
  return ip >= start && ip < start + symbol->st_size;
}

_Unwind_Reason_Code VisitFrame(_Unwind_Context* context, void* arg) {
  auto* search = static_cast<Search*>(arg);
  if (InLeakingCall(_Unwind_GetIP(context))) {
    search->found = true;
    return _URC_END_OF_STACK;
  }
  return ++search->depth < kMaxDepth ? _URC_NO_REASON : _URC_END_OF_STACK;
}

enum Role : signed char { kUnknown, kOther, kHotplug, kSearching };

// SDL names a thread only after its first few allocations (three, for the
// hotplug thread): a thread's name is looked at until this many.
constexpr int kNamingAllocations = 32;

void OnMalloc(const volatile void* ptr, size_t) {
  thread_local Role role = kUnknown;
  thread_local int looked = 0;
  if (role == kOther || role == kSearching) return;
  if (role == kUnknown) {
    char name[16] = "";
    prctl(PR_GET_NAME, name);
    if (std::strcmp(name, kHotplugThread) != 0) {
      if (++looked == kNamingAllocations) role = kOther;
      return;
    }
    role = kHotplug;
  }
  // Only this thread unwinds (the full unwinder, through libpulse's tables)
  // and only for its few allocations; what the search allocates is not searched.
  role = kSearching;
  Search search;
  _Unwind_Backtrace(VisitFrame, &search);
  if (search.found) __lsan_ignore_object(const_cast<const void*>(ptr));
  role = kHotplug;
}

void OnFree(const volatile void*) {}  // the runtime takes the hooks only in pairs

}  // namespace

void VxExcuseLibraryLeaks() { __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree); }

#else

void VxExcuseLibraryLeaks() {}

#endif
