// Counts operator new calls on this thread, to prove a warm frame allocates
// nothing. Linking alloc_counter.cpp replaces the global operator new.
#pragma once
#include <cstdint>

namespace support {
uint64_t AllocationsSoFar();
}
