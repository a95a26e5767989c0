#include <windows.h>

#include "download/keep_awake.h"

namespace tw {

// The state belongs to the calling thread and ends with it at the latest.
KeepAwake::KeepAwake() {
  if (SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0) held_ = 1;
}

KeepAwake::~KeepAwake() {
  if (Held()) SetThreadExecutionState(ES_CONTINUOUS);
}

}  // namespace tw
