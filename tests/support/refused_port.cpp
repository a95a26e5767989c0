#include "tests/support/refused_port.h"

#include <cstdlib>

#include "tests/support/loopback_socket.h"

namespace tw::testing {

int RefusedPort() {
  int port = 0;
  const int socket = ListenLoopback(1, port);
  if (socket < 0) std::abort();
  CloseSocket(socket);
  return port;
}

}  // namespace tw::testing
