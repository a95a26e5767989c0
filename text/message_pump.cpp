#include "text/message_pump.h"

#include <atomic>
#include <thread>

namespace tw {

namespace {

std::atomic<MessagePump> gPump{nullptr};
std::atomic<std::thread::id> gUiThread{};

}  // namespace

void InstallMessagePump(MessagePump pump) {
  gUiThread.store(std::this_thread::get_id());
  gPump.store(pump);
}

void RemoveMessagePump() {
  gPump.store(nullptr);
  gUiThread.store(std::thread::id{});
}

bool IsUiThread() { return gUiThread.load() == std::this_thread::get_id(); }

void ProcessPendingMessages() {
  const MessagePump pump = gPump.load();
  if (pump != nullptr && IsUiThread()) pump();
}

}  // namespace tw
