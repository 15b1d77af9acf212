// Counts operator new calls on this thread, to prove a warm frame allocates nothing.
#pragma once
#include <cstdint>

namespace d2dtest {
uint64_t AllocationsSoFar();
}
