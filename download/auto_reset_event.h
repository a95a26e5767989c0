// An event that releases one waiter per Set and then resets itself; a Set with
// nobody waiting leaves it signalled for the next Wait.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

namespace tw {

class AutoResetEvent {
 public:
  void Set();
  // True when signalled within `timeoutMs` (negative: no limit).
  bool Wait(int32_t timeoutMs = -1);

 private:
  std::mutex mutex_;
  std::condition_variable signalled_;
  bool set_ = false;
};

using EventHandle = std::shared_ptr<AutoResetEvent>;

}  // namespace tw
