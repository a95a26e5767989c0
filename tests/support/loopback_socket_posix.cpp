#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

#include "tests/support/loopback_socket.h"

namespace tw::testing {
namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

int ListenLoopback(int backlog, int& port) {
  // Close-on-exec, so that a program a test starts does not keep a server's port.
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, backlog) != 0) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return fd;
}

void CloseSocket(int socket) { ::close(socket); }

void CloseConnection(int socket) { ::close(socket); }

int PollReadable(int socket, int ms) {
  pollfd waiting{socket, POLLIN, 0};
  return ::poll(&waiting, 1, ms);
}

int AcceptConnection(int listener) { return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); }

int Receive(int socket, char* buffer, int size) {
  return static_cast<int>(::recv(socket, buffer, static_cast<size_t>(size), 0));
}

bool SendAll(int socket, const std::string& data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    // No SIGPIPE when the client has already gone: that is a case under test.
    const ssize_t n = ::send(socket, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

void ResetConnection(int socket) {
  // A zero linger time makes the close send a reset.
  linger now{1, 0};
  ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &now, sizeof now);
  ::close(socket);
}

int StartConnect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address = Loopback(port);
  (void)::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  return fd;
}

}  // namespace tw::testing
