#include "tests/support/full_backlog_listener.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/support/loopback_socket.h"

namespace tw::testing {

FullBacklogListener::FullBacklogListener() {
  listener_ = ListenLoopback(0, port_);
  if (listener_ < 0) std::abort();
  // A backlog of 0 still queues a connection or two, depending on the system;
  // four fill it on each, and the connects beyond its size stay pending, as
  // will the one under test.
  for (int i = 0; i < 4; ++i) fillers_.push_back(StartConnect(port_));
  // Neither system says when a queued handshake is done; a short pause lets
  // the fillers take their places before the test's connect comes.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

FullBacklogListener::~FullBacklogListener() {
  for (int socket : fillers_) {
    if (socket >= 0) CloseSocket(socket);
  }
  CloseSocket(listener_);
}

std::string FullBacklogListener::Url(const std::string& path) const {
  return LoopbackUrl(port_, path);
}

}  // namespace tw::testing
