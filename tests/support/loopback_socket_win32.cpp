#include <winsock2.h>

#include <cstdint>

#include "tests/support/loopback_socket.h"

namespace tw::testing {
namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

SOCKET Handle(int socket) { return static_cast<SOCKET>(socket); }

// Winsock for the whole test program, whichever of its servers comes first;
// starts and cleanups are counted, so httplib's own start does not clash.
struct Winsock {
  Winsock() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~Winsock() { ::WSACleanup(); }
} winsock;

}  // namespace

int ListenLoopback(int backlog, int& port) {
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = Loopback(0);
  if (s == INVALID_SOCKET ||
      ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(s, backlog) != 0) {
    if (s != INVALID_SOCKET) ::closesocket(s);
    return -1;
  }
  int length = sizeof address;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return static_cast<int>(s);
}

void CloseSocket(int socket) { ::closesocket(Handle(socket)); }

void CloseConnection(int socket) {
  // A bare closesocket with unread request bytes may reset the connection and
  // lose the answer on its way.
  ::shutdown(Handle(socket), SD_SEND);
  ::closesocket(Handle(socket));
}

int PollReadable(int socket, int ms) {
  WSAPOLLFD waiting{Handle(socket), POLLRDNORM, 0};
  return ::WSAPoll(&waiting, 1, ms);
}

int AcceptConnection(int listener) {
  const SOCKET s = ::accept(Handle(listener), nullptr, nullptr);
  return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}

int Receive(int socket, char* buffer, int size) { return ::recv(Handle(socket), buffer, size, 0); }

bool SendAll(int socket, const std::string& data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    const int n =
        ::send(Handle(socket), data.data() + sent, static_cast<int>(data.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

void ResetConnection(int socket) {
  // A zero linger time makes the close send a reset.
  linger now{1, 0};
  ::setsockopt(Handle(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&now),
               sizeof now);
  ::closesocket(Handle(socket));
}

int StartConnect(int port) {
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return -1;
  u_long on = 1;
  ::ioctlsocket(s, FIONBIO, &on);
  sockaddr_in address = Loopback(port);
  (void)::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  return static_cast<int>(s);
}

}  // namespace tw::testing
