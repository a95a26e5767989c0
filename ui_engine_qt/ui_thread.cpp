#include "ui_engine_qt/ui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace tw::engine {
namespace {

enum class TaskState { Pending, Running, Done, Abandoned };

struct Task {
  std::function<void()> body;
  TaskState state = TaskState::Pending;
};

std::atomic<bool> gBound{false};
std::thread::id gUiThread;
std::mutex gMutex;
std::condition_variable gChanged;
bool gLoopEnded = false;  // guarded by gMutex

void RunQueued(const std::shared_ptr<Task>& task) {
  {
    std::lock_guard lock(gMutex);
    // The caller gave up on it when the loop ended: its captures are gone.
    if (task->state != TaskState::Pending) return;
    task->state = TaskState::Running;
  }
  task->body();
  std::lock_guard lock(gMutex);
  task->state = TaskState::Done;
  gChanged.notify_all();
}

}  // namespace

void BindUiThread() {
  gUiThread = std::this_thread::get_id();
  gBound.store(true, std::memory_order_release);
}

bool IsBound() { return gBound.load(std::memory_order_acquire); }

bool OnUiThread() { return IsBound() && std::this_thread::get_id() == gUiThread; }

bool RunOnUiThread(const std::function<void()>& body) {
  if (!IsBound() || QCoreApplication::instance() == nullptr) return false;
  if (OnUiThread()) {
    body();
    return true;
  }
  auto task = std::make_shared<Task>();
  task->body = body;
  std::unique_lock lock(gMutex);
  if (gLoopEnded) return false;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [task] { RunQueued(task); }, Qt::QueuedConnection);
  gChanged.wait(lock, [&] {
    return task->state == TaskState::Done || (gLoopEnded && task->state == TaskState::Pending);
  });
  if (task->state == TaskState::Done) return true;
  task->state = TaskState::Abandoned;
  return false;
}

void SetLoopEnded(bool ended) {
  std::lock_guard lock(gMutex);
  gLoopEnded = ended;
  gChanged.notify_all();
}

}  // namespace tw::engine
