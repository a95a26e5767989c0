// The calling thread's stack, as the system reports it.
#pragma once

#include <cstdint>

namespace tw {

// Lowest usable address of the calling thread's stack; 0 when unknown.
std::uintptr_t ThreadStackLow();

}  // namespace tw
