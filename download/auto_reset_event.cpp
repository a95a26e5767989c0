#include "download/auto_reset_event.h"

#include <chrono>

namespace tw {

void AutoResetEvent::Set() {
  {
    std::lock_guard guard(mutex_);
    set_ = true;
  }
  signalled_.notify_one();
}

bool AutoResetEvent::Wait(int32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  auto isSet = [this] { return set_; };
  if (timeoutMs < 0) {
    signalled_.wait(lock, isSet);
  } else if (!signalled_.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSet)) {
    return false;
  }
  set_ = false;
  return true;
}

}  // namespace tw
