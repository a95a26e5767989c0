#include <windows.h>

#include "script/thread_stack.h"

namespace tw {

// The low limit covers the whole reservation, guard pages included; the
// caller keeps its own reserve above it.
std::uintptr_t ThreadStackLow() {
  ULONG_PTR low = 0;
  ULONG_PTR high = 0;
  GetCurrentThreadStackLimits(&low, &high);
  return static_cast<std::uintptr_t>(low);
}

}  // namespace tw
