// A loop thread that waits an initial delay and then, once per period, either
// calls a callback itself (direct mode) or starts a fresh thread for it (spawn
// mode), until a wake request ends it at its next sleep.
//
// The loop's state lives in a block shared with the loop thread, so the loop
// never reads freed memory whatever its owner does. Destroying the object wakes
// the loop and waits for it and for every thread it spawned: callbacks reached
// through the object's entries have all returned by the time it is gone.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "download/bound_entry.h"
#include "download/thread_record.h"

namespace tw {

class PeriodicThread {
 public:
  // Stop's results besides the wait codes.
  static constexpr int32_t kNoThread = -1;
  static constexpr int32_t kResumeFailed = -2;
  // The "last error" of a wake request that could not be queued: the loop
  // thread has already ended (only possible after a wake during the initial
  // delay, which leaves the thread recorded).
  static constexpr int32_t kNoSuchThread = 3;

  PeriodicThread();
  ~PeriodicThread();
  PeriodicThread(const PeriodicThread&) = delete;
  PeriodicThread& operator=(const PeriodicThread&) = delete;

  // Starts the loop; returns its thread, or the running one unchanged (period
  // included) when a loop is already recorded. Null when no thread starts.
  ThreadHandle Start(BoundEntry callback, int32_t period = 0, int32_t initialDelay = 0,
                     int32_t param = 0, bool direct = false);
  // Wakes the loop and waits up to `timeoutMs` for it: kWaitObject0 when it
  // ended, kWaitTimeout when it still runs; 0 at once with `noWait`; kNoThread,
  // kNoSuchThread or kResumeFailed on failure.
  int32_t Stop(int32_t timeoutMs = 1000, bool noWait = false);
  // Holds the loop before its next call until Resume. False when there is no
  // loop or a suspension is already recorded.
  bool Suspend();
  bool Resume();
  // Ends the loop at its next sleep without waiting and forgets its thread;
  // nothing is killed. False when there is no loop.
  bool Terminate();
  void SetPeriod(int32_t ms);

  // The recorded loop thread; null when idle.
  ThreadHandle Thread();
  // Waits until every thread spawned so far has returned from the callback.
  void WaitSpawnedThreads();

  // The wake routine; its arrival is what ends the loop's sleep.
  void Wake(int32_t param);

 private:
  struct Loop;
  // The loop body of both modes, run on the loop thread over the shared block.
  static void RunLoop(const std::shared_ptr<Loop>& loop, int32_t param, bool direct);

  std::shared_ptr<Loop> loop_;
};

}  // namespace tw
