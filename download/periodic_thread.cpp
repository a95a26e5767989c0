#include "download/periodic_thread.h"

#include <utility>

namespace tw {

struct PeriodicThread::Loop {
  std::mutex mutex;
  BoundEntry callback;
  int32_t period = 0;
  int32_t initialDelay = 0;
  ThreadHandle thread;
  int32_t suspended = 0;  // 0: none recorded; else the previous suspend count + 1
  ThreadGroup spawned;
  // Loops let go of by Terminate; they may still be inside a direct-mode call.
  std::vector<ThreadHandle> retired;

  int32_t Period() {
    std::lock_guard guard(mutex);
    return period;
  }
};

PeriodicThread::PeriodicThread() : loop_(std::make_shared<Loop>()) {}

PeriodicThread::~PeriodicThread() {
  ThreadHandle thread;
  std::vector<ThreadHandle> retired;
  {
    std::lock_guard guard(loop_->mutex);
    thread = loop_->thread;
    if (thread && loop_->suspended == 1) thread->Resume();
    retired.swap(loop_->retired);
  }
  if (thread) {
    thread->QueueWake([this] { Wake(0); });
    thread->Wait(kInfinite);
  }
  for (const ThreadHandle& t : retired) t->Wait(kInfinite);
  loop_->spawned.WaitAll();
}

ThreadHandle PeriodicThread::Start(BoundEntry callback, int32_t period, int32_t initialDelay,
                                   int32_t param, bool direct) {
  std::lock_guard guard(loop_->mutex);
  if (loop_->thread) return loop_->thread;
  loop_->callback = std::move(callback);
  loop_->period = period;
  loop_->initialDelay = initialDelay;
  loop_->suspended = 0;
  // The thread runs the loop over the shared block, never through `this`.
  std::shared_ptr<Loop> loop = loop_;
  loop_->thread = ThreadRecord::Launch([loop, param, direct] { RunLoop(loop, param, direct); });
  return loop_->thread;
}

void PeriodicThread::Wake(int32_t) {}

void PeriodicThread::RunLoop(const std::shared_ptr<Loop>& loop, int32_t param, bool direct) {
  ThreadRecord* self = ThreadRecord::Current();
  int32_t initialDelay;
  BoundEntry callback;
  {
    std::lock_guard guard(loop->mutex);
    initialDelay = loop->initialDelay;
    callback = loop->callback;
  }
  // Woken during the initial delay: the thread stays recorded, so the object
  // keeps counting as running until it is stopped, terminated or destroyed.
  if (AlertableSleep(initialDelay) == kWaitIoCompletion) return;
  for (;;) {
    if (self && self->HoldWhileSuspended()) break;
    if (direct) {
      callback(param);
    } else {
      loop->spawned.Launch([callback, param] { callback(param); });
    }
    if (AlertableSleep(loop->Period()) == kWaitIoCompletion) break;
  }
  std::lock_guard guard(loop->mutex);
  if (self && loop->thread.get() == self) {
    loop->thread.reset();
    loop->suspended = 0;
  }
}

int32_t PeriodicThread::Stop(int32_t timeoutMs, bool noWait) {
  ThreadHandle thread;
  {
    std::lock_guard guard(loop_->mutex);
    thread = loop_->thread;
    if (!thread) return kNoThread;
    if (!thread->QueueWake([this] { Wake(0); })) return kNoSuchThread;
    if (loop_->suspended == 1) {
      if (thread->Resume() < 0) return kResumeFailed;
      loop_->suspended = 0;
    }
  }
  if (noWait) return 0;
  // Our own reference keeps the record valid even if the loop clears `thread`.
  return thread->Wait(timeoutMs);
}

bool PeriodicThread::Suspend() {
  std::lock_guard guard(loop_->mutex);
  if (!loop_->thread || loop_->suspended != 0) return false;
  int32_t previous = loop_->thread->Suspend();
  if (previous < 0) return false;
  loop_->suspended = previous + 1;
  return true;
}

bool PeriodicThread::Resume() {
  std::lock_guard guard(loop_->mutex);
  if (!loop_->thread || loop_->suspended != 1) return false;
  if (loop_->thread->Resume() < 0) return false;
  // Cleared so that a later Suspend is accepted and Stop does not resume a
  // running loop.
  loop_->suspended = 0;
  return true;
}

bool PeriodicThread::Terminate() {
  std::lock_guard guard(loop_->mutex);
  if (!loop_->thread) return false;
  if (loop_->suspended == 1) loop_->thread->Resume();
  loop_->thread->QueueWake([] {});
  loop_->retired.push_back(std::move(loop_->thread));
  loop_->thread.reset();
  loop_->suspended = 0;
  return true;
}

void PeriodicThread::SetPeriod(int32_t ms) {
  std::lock_guard guard(loop_->mutex);
  loop_->period = ms;
}

ThreadHandle PeriodicThread::Thread() {
  std::lock_guard guard(loop_->mutex);
  return loop_->thread;
}

void PeriodicThread::WaitSpawnedThreads() { loop_->spawned.WaitAll(); }

}  // namespace tw
