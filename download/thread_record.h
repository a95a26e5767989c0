// Threads of the download engine.
//
// A thread is never killed. Each one is known through a ThreadHandle, a shared
// reference to its record, so a handle stays valid for as long as anybody holds
// it: a thread that ends, or an owner that lets go of its handle, can never
// release it under another thread that is still waiting on it. The thread itself
// holds its record until its body has returned and every capture of the body has
// been destroyed; only then does it count as finished.
//
// A wake request is a routine queued for a thread that runs on that thread at
// its next alertable sleep, which then returns kWaitIoCompletion. Requests queued while the thread
// is busy stay pending until it next sleeps alertably.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace tw {

inline constexpr int32_t kWaitObject0 = 0;
inline constexpr int32_t kWaitTimeout = 258;
inline constexpr int32_t kWaitIoCompletion = 192;
inline constexpr int32_t kWaitFailed = -1;
inline constexpr int32_t kInfinite = -1;

class ThreadRecord;
using ThreadHandle = std::shared_ptr<ThreadRecord>;

class ThreadRecord : public std::enable_shared_from_this<ThreadRecord> {
 public:
  // Starts `body` on a new thread; null when no thread can be created.
  static ThreadHandle Launch(std::function<void()> body);

  // The record of the calling thread; null on threads not started by Launch.
  static ThreadRecord* Current();

  // Queues `routine` to run on this thread at its next alertable sleep. False
  // when the thread has finished: nobody is left to run it.
  bool QueueWake(std::function<void()> routine);

  // A thread that blocks somewhere other than AlertableSleep (in a poll, say)
  // installs a hook that makes that wait return; every QueueWake calls it. It is
  // called under the record's lock, so once ClearWakeHook returns it will not be
  // called again and whatever it refers to may be released.
  void SetWakeHook(std::function<void()> hook);
  void ClearWakeHook();

  // kWaitObject0 once the thread has finished, kWaitTimeout when `timeoutMs`
  // passed first; kInfinite waits without limit.
  int32_t Wait(int32_t timeoutMs);
  bool Finished();

  // A suspension holds the thread at its next HoldWhileSuspended, never
  // anywhere else. Both return the previous suspend count, -1 once finished
  // (Suspend) or when not suspended (Resume).
  int32_t Suspend();
  int32_t Resume();

  // On the thread itself: waits while suspended. True when a wake request ended
  // the hold (its routines have run); false when not held or resumed normally.
  bool HoldWhileSuspended();

  // On the thread itself: sleeps up to `ms` (0: just looks). kWaitIoCompletion
  // when wake requests were pending or arrived; their routines have run.
  int32_t AlertableSleep(int32_t ms);

  // Whether wake requests are waiting, without running them: lets a thread
  // busy with data break off early and then take them in its next sleep.
  bool WakePending();

 private:
  ThreadRecord() = default;
  // Runs the queued routines, unlocking around each; call with `lock` held.
  void RunQueued(std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> queued_;
  std::function<void()> wakeHook_;
  int32_t suspendCount_ = 0;
  bool finished_ = false;
};

// Alertable sleep of the calling thread; a plain sleep on threads without a
// record.
int32_t AlertableSleep(int32_t ms);

// Number of engine threads whose body has not yet finished, process-wide.
int32_t RunningEngineThreads();

// Threads started on an owner's behalf that must all have finished before the
// owner goes away.
class ThreadGroup {
 public:
  ThreadHandle Launch(std::function<void()> body);
  // Waits, without limit, until every thread launched so far has finished.
  void WaitAll();

 private:
  std::mutex mutex_;
  std::vector<ThreadHandle> threads_;
};

}  // namespace tw
