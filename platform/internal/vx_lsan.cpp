// Where LeakSanitizer is told to pass over leaks of a library below us that
// no suppression can name narrowly (tests/lsan.supp lists the rest); nothing
// outside AddressSanitizer builds.
#include "vx_support.h"

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
#include <pulse/introspect.h>  // libpulse-dev, which libsdl2-dev brings
#include <sanitizer/lsan_interface.h>
#include <sys/prctl.h>

#include <cstring>

// SDL 2.26's PulseAudio driver, on the thread it names "PulseHotplug", asks
// the server about each sink or source that appears or changes (ours do as a
// stream starts) and about the server on each such change, and never
// releases the three requests. libpulse keeps no frame pointers and reaches
// the server query through a tail call, so a report's stack ends at
// pa_xmalloc, where a suppression could only name all of libpulse.
//
// So the program defines those three calls itself. SDL links libpulse
// directly, and the dynamic linker binds its calls to the executable's
// definitions first. Each forwards to libpulse's own with the same arguments
// and returns its result unchanged; on that one thread it also marks the
// request as not leaked. Safe, because nothing the call does changes: the mark
// lives in the sanitizer's header of that one block (a block freed later
// loses it), what the request points to is still scanned, and every other
// call and thread goes through untouched. If SDL ever reached libpulse some
// other way (dlopen, its own lookups), the wrappers would go unused and the
// leak would be reported again, not hidden.

namespace {

template <typename Call>
Call Libpulses(Call, const char* name) {
  return reinterpret_cast<Call>(dlsym(RTLD_NEXT, name));
}

struct Calls {
  decltype(&pa_context_get_sink_info_by_index) sinkInfo;
  decltype(&pa_context_get_source_info_by_index) sourceInfo;
  decltype(&pa_context_get_server_info) serverInfo;
};

const Calls& Real() {
  static const Calls calls = {
      Libpulses(&pa_context_get_sink_info_by_index, "pa_context_get_sink_info_by_index"),
      Libpulses(&pa_context_get_source_info_by_index, "pa_context_get_source_info_by_index"),
      Libpulses(&pa_context_get_server_info, "pa_context_get_server_info"),
  };
  return calls;
}

pa_operation* ExcusedOnHotplugThread(pa_operation* request) {
  char name[16] = "";
  if (request && prctl(PR_GET_NAME, name) == 0 && std::strcmp(name, "PulseHotplug") == 0) {
    __lsan_ignore_object(request);
  }
  return request;
}

}  // namespace

// A null request is how libpulse says a call failed, were it ever missing.
pa_operation* pa_context_get_sink_info_by_index(pa_context* c, uint32_t index, pa_sink_info_cb_t cb, void* data) {
  const auto real = Real().sinkInfo;
  return ExcusedOnHotplugThread(real ? real(c, index, cb, data) : nullptr);
}

pa_operation* pa_context_get_source_info_by_index(pa_context* c, uint32_t index, pa_source_info_cb_t cb, void* data) {
  const auto real = Real().sourceInfo;
  return ExcusedOnHotplugThread(real ? real(c, index, cb, data) : nullptr);
}

pa_operation* pa_context_get_server_info(pa_context* c, pa_server_info_cb_t cb, void* data) {
  const auto real = Real().serverInfo;
  return ExcusedOnHotplugThread(real ? real(c, cb, data) : nullptr);
}

// Looks libpulse's calls up before any SDL thread runs. Calling it is also
// what links this file, and so the wrappers, into every program: the linker
// takes an object from a static library only for a symbol something uses.
void VxExcuseLibraryLeaks() { Real(); }

#else

void VxExcuseLibraryLeaks() {}

#endif
