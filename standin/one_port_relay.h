// Answers TLS and plain HTTP on one loopback port. Each accepted connection is
// classified by its first byte (0x16 opens a TLS handshake) and relayed, bytes
// unchanged in both directions, to the matching internal server.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>

namespace tw {

class OnePortRelay {
 public:
  OnePortRelay() = default;
  OnePortRelay(const OnePortRelay&) = delete;
  OnePortRelay& operator=(const OnePortRelay&) = delete;
  ~OnePortRelay();

  // Listens on 127.0.0.1:`port` (0 picks a free port). False when it cannot.
  bool Listen(int port);
  int port() const { return port_; }

  // Accepts and relays until Stop; each connection gets a thread of its own.
  void Run(int plainPort, int tlsPort);

  // Ends Run, cuts every relayed connection and waits for their threads.
  void Stop();

 private:
  void Relay(int client, int plainPort, int tlsPort);
  void Track(int fd);
  void Untrack(int fd);

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::condition_variable idle_;
  std::set<int> open_;  // relayed sockets, so Stop can cut them
  int active_ = 0;      // relay threads still running
};

}  // namespace tw
