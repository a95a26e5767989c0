#include "tests/support/raw_server.h"

#include <chrono>
#include <cstdlib>

#include "tests/support/loopback_socket.h"

namespace tw::testing {

RawServer::RawServer(Answer answer, AfterAnswer after) : answer_(std::move(answer)), after_(after) {
  listener_ = ListenLoopback(16, port_);
  if (listener_ < 0) std::abort();  // no test can go on without its server
  thread_ = std::thread([this] { Serve(); });
}

RawServer::RawServer(std::string reply, AfterAnswer after)
    : RawServer([reply = std::move(reply)](int socket, const std::string&) { Send(socket, reply); },
                after) {}

RawServer::~RawServer() {
  stopping_.store(true);
  thread_.join();
  for (int socket : held_) CloseSocket(socket);
  CloseSocket(listener_);
}

std::string RawServer::Url(const std::string& path) const { return LoopbackUrl(port_, path); }

std::vector<std::string> RawServer::requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::string RawServer::ReadHead(int client, const std::atomic<bool>& stopping) {
  std::string head;
  char buffer[4096];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (head.find("\r\n\r\n") == std::string::npos && !stopping.load() &&
         std::chrono::steady_clock::now() < deadline) {
    if (PollReadable(client, 20) <= 0) continue;
    const int got = Receive(client, buffer, sizeof buffer);
    if (got <= 0) break;
    head.append(buffer, static_cast<std::size_t>(got));
    if (head[0] == 0x16) break;  // a TLS handshake, not a request head
  }
  return head;
}

void RawServer::Serve() {
  while (!stopping_.load()) {
    if (PollReadable(listener_, 20) <= 0) continue;
    const int client = AcceptConnection(listener_);
    if (client < 0) continue;
    ++accepted_;
    const std::string head = ReadHead(client, stopping_);
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(head);
    }
    answer_(client, head);
    if (after_ == AfterAnswer::kHold) {
      held_.push_back(client);
    } else {
      CloseConnection(client);
    }
  }
}

bool RawServer::Send(int socket, const std::string& data) { return SendAll(socket, data); }

bool RawServer::WaitForClose(int socket, const std::atomic<bool>& stopping, int limitMs) {
  char buffer[1024];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!stopping.load() && std::chrono::steady_clock::now() < deadline) {
    if (PollReadable(socket, 20) <= 0) continue;
    if (Receive(socket, buffer, sizeof buffer) <= 0) return true;
  }
  return false;
}

}  // namespace tw::testing
