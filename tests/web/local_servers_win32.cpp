// The web tests' servers over Winsock, for the Windows tree.
#include <winsock2.h>

#include <chrono>
#include <cstdlib>

#include "tests/web/local_servers.h"

namespace tw::testing {
namespace {

int ListenLoopback(int& port) {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (s == INVALID_SOCKET ||
      ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(s, 16) != 0) {
    if (s != INVALID_SOCKET) ::closesocket(s);
    return -1;
  }
  int length = sizeof address;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return static_cast<int>(s);
}

int PollIn(int socket, int ms) {
  WSAPOLLFD p{static_cast<SOCKET>(socket), POLLRDNORM, 0};
  return ::WSAPoll(&p, 1, ms);
}

}  // namespace

LocalHttpServer::LocalHttpServer(bool tls) : tls_(tls) {
  if (tls) std::abort();  // no TLS server in this tree
  server_ = std::make_unique<httplib::Server>();
}

LocalHttpServer::~LocalHttpServer() {
  if (thread_.joinable()) {
    server_->stop();
    thread_.join();
  }
}

int LocalHttpServer::Start() {
  port_ = server_->bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  for (int i = 0; i < 5000 && !server_->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return port_;
}

std::string LocalHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

RawServer::RawServer(Answer answer) : answer_(std::move(answer)) {
  listener_ = ListenLoopback(port_);
  thread_ = std::thread([this] { Serve(); });
}

RawServer::~RawServer() {
  stopping_.store(true);
  thread_.join();
  ::closesocket(static_cast<SOCKET>(listener_));
}

std::vector<std::string> RawServer::requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

void RawServer::Serve() {
  while (!stopping_.load()) {
    if (PollIn(listener_, 20) <= 0) continue;
    const SOCKET accepted = ::accept(static_cast<SOCKET>(listener_), nullptr, nullptr);
    if (accepted == INVALID_SOCKET) continue;
    const int client = static_cast<int>(accepted);
    std::string head;
    char buffer[4096];
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (head.find("\r\n\r\n") == std::string::npos && !stopping_.load() &&
           std::chrono::steady_clock::now() < deadline) {
      if (PollIn(client, 20) <= 0) continue;
      const int got = ::recv(accepted, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      head.append(buffer, static_cast<std::size_t>(got));
      if (head[0] == 0x16) break;  // a TLS handshake, not a request head
    }
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(head);
    }
    answer_(client, head);
    ::shutdown(accepted, SD_SEND);
    ::closesocket(accepted);
  }
}

void RawServer::Send(int socket, const std::string& data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    const int n = ::send(static_cast<SOCKET>(socket), data.data() + sent,
                         static_cast<int>(data.size() - sent), 0);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

void RawServer::WaitForClose(int socket, const std::atomic<bool>& stopping, int limitMs) {
  char buffer[1024];
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!stopping.load() && std::chrono::steady_clock::now() < deadline) {
    if (PollIn(socket, 20) <= 0) continue;
    if (::recv(static_cast<SOCKET>(socket), buffer, sizeof buffer, 0) <= 0) return;
  }
}

int RefusedPort() {
  int port = 0;
  const int s = ListenLoopback(port);
  ::closesocket(static_cast<SOCKET>(s));
  return port;
}

}  // namespace tw::testing
