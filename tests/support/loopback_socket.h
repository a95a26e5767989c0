// The few socket calls the loopback servers make, over BSD sockets or
// Winsock. A socket is held in an int: Winsock's handles fit in one in
// practice, and the servers' code stays one for both systems.
#pragma once

#include <string>

namespace tw::testing {

// A socket listening on 127.0.0.1 at a free port, stored in `port`; -1 when
// none could be made.
int ListenLoopback(int backlog, int& port);
void CloseSocket(int socket);
// Sends what is left of the reply to come, then closes: the peer reads the
// whole answer before the end of the stream.
void CloseConnection(int socket);
// >0 when `socket` has something to read (or a connection to accept) within `ms`.
int PollReadable(int socket, int ms);
// The next connection on `listener`, -1 when there is none.
int AcceptConnection(int listener);
// Up to `size` bytes received, 0 at the end of the stream, <0 on an error.
int Receive(int socket, char* buffer, int size);
// Everything of `data`, unless the peer has gone (false).
bool SendAll(int socket, const std::string& data);
// Closes with a reset instead of an orderly end: the peer's next read fails.
void ResetConnection(int socket);
// A connect to 127.0.0.1:`port` started in the background; the socket, or -1.
int StartConnect(int port);

inline std::string LoopbackUrl(int port, const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(port) + path;
}

}  // namespace tw::testing
