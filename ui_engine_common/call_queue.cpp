#include "ui_engine_common/call_queue.h"

#include <memory>

namespace tw::engine {
namespace {

enum class TaskState { Pending, Running, Done, Abandoned };

struct Task {
  std::function<void()> body;
  TaskState state = TaskState::Pending;
};

}  // namespace

bool CallQueue::Call(const std::function<void()>& body, const Post& post) {
  auto task = std::make_shared<Task>();
  task->body = body;
  std::unique_lock lock(mutex_);
  if (loopEnded_) return false;
  const bool posted = post([this, task] {
    {
      std::lock_guard lock(mutex_);
      // The caller gave up on it when the loop ended: its captures are gone.
      if (task->state != TaskState::Pending) return;
      task->state = TaskState::Running;
    }
    task->body();
    std::lock_guard lock(mutex_);
    task->state = TaskState::Done;
    changed_.notify_all();
  });
  if (!posted) return false;
  changed_.wait(lock, [&] {
    return task->state == TaskState::Done || (loopEnded_ && task->state == TaskState::Pending);
  });
  if (task->state == TaskState::Done) return true;
  task->state = TaskState::Abandoned;
  return false;
}

void CallQueue::SetLoopEnded(bool ended) {
  std::lock_guard lock(mutex_);
  loopEnded_ = ended;
  changed_.notify_all();
}

}  // namespace tw::engine
