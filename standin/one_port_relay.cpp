#include "standin/one_port_relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace tw {
namespace {

constexpr int kPollMs = 100;
constexpr std::uint8_t kTlsHandshake = 0x16;
constexpr auto kFirstByteWait = std::chrono::seconds(30);

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int ConnectLoopback(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address = Loopback(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

}  // namespace

OnePortRelay::~OnePortRelay() {
  Stop();
  if (listener_ >= 0) close(listener_);
}

bool OnePortRelay::Listen(int port) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) return false;
  int one = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address = Loopback(port);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 64) != 0) {
    return false;
  }
  socklen_t length = sizeof address;
  if (getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
  port_ = ntohs(address.sin_port);
  return true;
}

void OnePortRelay::Run(int plainPort, int tlsPort) {
  while (!stopping_.load()) {
    pollfd waiting{listener_, POLLIN, 0};
    if (poll(&waiting, 1, kPollMs) <= 0) continue;
    int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    int one = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    {
      std::lock_guard lock(mutex_);
      ++active_;
      open_.insert(client);
    }
    std::thread([this, client, plainPort, tlsPort] {
      Relay(client, plainPort, tlsPort);
      std::lock_guard lock(mutex_);
      if (--active_ == 0) idle_.notify_all();
    }).detach();
  }
}

void OnePortRelay::Stop() {
  stopping_.store(true);
  std::unique_lock lock(mutex_);
  for (int fd : open_) shutdown(fd, SHUT_RDWR);
  idle_.wait(lock, [this] { return active_ == 0; });
}

void OnePortRelay::Track(int fd) {
  std::lock_guard lock(mutex_);
  open_.insert(fd);
  if (stopping_.load()) shutdown(fd, SHUT_RDWR);
}

void OnePortRelay::Untrack(int fd) {
  std::lock_guard lock(mutex_);
  open_.erase(fd);
  close(fd);
}

void OnePortRelay::Relay(int client, int plainPort, int tlsPort) {
  // A client that connects and says nothing gets dropped after a while.
  auto deadline = std::chrono::steady_clock::now() + kFirstByteWait;
  std::uint8_t first = 0;
  bool spoke = false;
  while (!stopping_.load() && std::chrono::steady_clock::now() < deadline) {
    pollfd waiting{client, POLLIN, 0};
    if (poll(&waiting, 1, kPollMs) <= 0) continue;
    spoke = recv(client, &first, 1, MSG_PEEK) == 1;
    break;
  }
  int server = spoke ? ConnectLoopback(first == kTlsHandshake ? tlsPort : plainPort) : -1;
  if (server < 0) {
    Untrack(client);
    return;
  }
  Track(server);

  // Half-closes are passed on, so a server that ends its response by closing
  // (a dropped transfer) looks the same to the client as without the relay.
  bool fromClient = true, fromServer = true;
  char buffer[64 * 1024];
  while ((fromClient || fromServer) && !stopping_.load()) {
    pollfd fds[2] = {{fromClient ? client : -1, POLLIN, 0}, {fromServer ? server : -1, POLLIN, 0}};
    int ready = poll(fds, 2, kPollMs);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    bool failed = false;
    for (int i = 0; i < 2 && !failed; ++i) {
      if (fds[i].revents == 0) continue;
      int from = i == 0 ? client : server;
      int to = i == 0 ? server : client;
      ssize_t got = recv(from, buffer, sizeof buffer, 0);
      if (got > 0) {
        failed = !SendAll(to, buffer, static_cast<std::size_t>(got));
      } else if (got == 0) {
        shutdown(to, SHUT_WR);
        (i == 0 ? fromClient : fromServer) = false;
      } else if (errno != EINTR && errno != EAGAIN) {
        failed = true;
      }
    }
    if (failed) break;
  }
  Untrack(server);
  Untrack(client);
}

}  // namespace tw
