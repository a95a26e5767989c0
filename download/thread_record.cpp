#include "download/thread_record.h"

#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>
#include <utility>

namespace tw {
namespace {

thread_local ThreadRecord* currentRecord = nullptr;
std::atomic<int32_t> runningThreads{0};

}  // namespace

ThreadHandle ThreadRecord::Launch(std::function<void()> body) {
  ThreadHandle record(new ThreadRecord());
  runningThreads.fetch_add(1);
  try {
    std::thread([record, body = std::move(body)]() mutable {
      currentRecord = record.get();
      body();
      body = nullptr;  // captures die on this thread, before anyone is told it ended
      {
        std::lock_guard guard(record->mutex_);
        record->finished_ = true;
        record->queued_.clear();
        record->wakeHook_ = nullptr;
      }
      currentRecord = nullptr;
      runningThreads.fetch_sub(1);
      record->changed_.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    runningThreads.fetch_sub(1);
    return nullptr;
  }
  return record;
}

ThreadRecord* ThreadRecord::Current() { return currentRecord; }

bool ThreadRecord::QueueWake(std::function<void()> routine) {
  std::lock_guard guard(mutex_);
  if (finished_) return false;
  queued_.push_back(std::move(routine));
  if (wakeHook_) wakeHook_();
  changed_.notify_all();
  return true;
}

void ThreadRecord::SetWakeHook(std::function<void()> hook) {
  std::lock_guard guard(mutex_);
  wakeHook_ = std::move(hook);
}

void ThreadRecord::ClearWakeHook() {
  std::function<void()> old;
  std::lock_guard guard(mutex_);
  old.swap(wakeHook_);
}

int32_t ThreadRecord::Wait(int32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  auto done = [this] { return finished_; };
  if (timeoutMs < 0) {
    changed_.wait(lock, done);
    return kWaitObject0;
  }
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), done) ? kWaitObject0
                                                                             : kWaitTimeout;
}

bool ThreadRecord::Finished() {
  std::lock_guard guard(mutex_);
  return finished_;
}

int32_t ThreadRecord::Suspend() {
  std::lock_guard guard(mutex_);
  if (finished_) return -1;
  return suspendCount_++;
}

int32_t ThreadRecord::Resume() {
  std::lock_guard guard(mutex_);
  if (suspendCount_ == 0) return -1;
  int32_t previous = suspendCount_--;
  changed_.notify_all();
  return previous;
}

bool ThreadRecord::HoldWhileSuspended() {
  std::unique_lock lock(mutex_);
  if (suspendCount_ == 0) return false;
  changed_.wait(lock, [this] { return suspendCount_ == 0 || !queued_.empty(); });
  if (queued_.empty()) return false;
  RunQueued(lock);
  return true;
}

int32_t ThreadRecord::AlertableSleep(int32_t ms) {
  std::unique_lock lock(mutex_);
  auto woken = [this] { return !queued_.empty(); };
  if (ms < 0) {
    changed_.wait(lock, woken);
  } else if (!changed_.wait_for(lock, std::chrono::milliseconds(ms), woken)) {
    return kWaitObject0;
  }
  RunQueued(lock);
  return kWaitIoCompletion;
}

bool ThreadRecord::WakePending() {
  std::lock_guard guard(mutex_);
  return !queued_.empty();
}

void ThreadRecord::RunQueued(std::unique_lock<std::mutex>& lock) {
  while (!queued_.empty()) {
    std::function<void()> routine = std::move(queued_.front());
    queued_.pop_front();
    lock.unlock();
    if (routine) routine();
    routine = nullptr;
    lock.lock();
  }
}

int32_t AlertableSleep(int32_t ms) {
  if (ThreadRecord* record = ThreadRecord::Current()) return record->AlertableSleep(ms);
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return kWaitObject0;
}

int32_t RunningEngineThreads() { return runningThreads.load(); }

ThreadHandle ThreadGroup::Launch(std::function<void()> body) {
  ThreadHandle thread = ThreadRecord::Launch(std::move(body));
  if (!thread) return nullptr;
  std::lock_guard guard(mutex_);
  // Drop the finished ones so a long download keeps a short list.
  std::erase_if(threads_, [](const ThreadHandle& t) { return t->Finished(); });
  threads_.push_back(thread);
  return thread;
}

void ThreadGroup::WaitAll() {
  std::vector<ThreadHandle> threads;
  {
    std::lock_guard guard(mutex_);
    threads = threads_;  // a copy: a second caller must wait for them too
  }
  for (const ThreadHandle& t : threads) t->Wait(kInfinite);
}

}  // namespace tw
