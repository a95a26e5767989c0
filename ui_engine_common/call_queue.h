// The waiting half of a call another thread makes on the UI thread. The engine
// supplies the other half, the posting (a Qt event, a window message): the
// queue hands it the task to run and waits for its answer, or gives up when
// the message loop ends before the task has started.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

namespace tw::engine {

class CallQueue {
 public:
  // Hands `run` to the UI thread, which calls it once; false when it cannot be
  // queued. Called with the queue's lock held: it must not call `run` itself.
  using Post = std::function<bool(std::function<void()> run)>;

  // Posts `body` and waits: true once the UI thread has run it, false when it
  // could not be posted, or the loop has ended (or had) before it started. A
  // task given up on never runs, since what it refers to may be gone.
  bool Call(const std::function<void()>& body, const Post& post);

  // The message loop reports here, so that waiting callers are let go when it
  // ends and nothing queued afterwards waits for a loop that no longer runs.
  void SetLoopEnded(bool ended);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool loopEnded_ = false;  // guarded by mutex_
};

}  // namespace tw::engine
