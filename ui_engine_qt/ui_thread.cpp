#include "ui_engine_qt/ui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <thread>

#include "ui_engine_common/call_queue.h"

namespace tw::engine {
namespace {

std::atomic<bool> gBound{false};
std::thread::id gUiThread;
CallQueue gCalls;

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
  return gCalls.Call(body, [](std::function<void()> run) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(run), Qt::QueuedConnection);
    return true;
  });
}

void SetLoopEnded(bool ended) { gCalls.SetLoopEnded(ended); }

}  // namespace tw::engine
