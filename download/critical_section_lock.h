// A lock its owner may enter again while holding it. The registry lock, each
// speed meter and each job's progress counter use one.
#pragma once

#include <mutex>

namespace tw {

class CriticalSectionLock {
 public:
  CriticalSectionLock() = default;
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

  void Enter() { section_.lock(); }
  void Leave() { section_.unlock(); }
  bool TryEnter() { return section_.try_lock(); }

  // Lets std::lock_guard and std::unique_lock hold it.
  void lock() { Enter(); }
  void unlock() { Leave(); }
  bool try_lock() { return TryEnter(); }

 private:
  std::recursive_mutex section_;
};

}  // namespace tw
