// A bare TCP server on 127.0.0.1 for answers no HTTP library would give:
// bare line feeds, a stall after the head, a drop in the middle of a body.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tw::testing {

class RawServer {
 public:
  // Called on the server's thread for each connection, once its request head
  // has been read (up to the blank line, or the first bytes of a TLS
  // handshake, which never has one).
  using Answer = std::function<void(int socket, const std::string& requestHead)>;
  // What becomes of a connection after its answer: closed, or held open
  // without another byte until the server goes (a stall).
  enum class AfterAnswer { kClose, kHold };

  explicit RawServer(Answer answer, AfterAnswer after = AfterAnswer::kClose);
  // Sends the same `reply` on every connection.
  RawServer(std::string reply, AfterAnswer after);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  int port() const { return port_; }
  std::string Url(const std::string& path) const;
  int Accepted() const { return accepted_.load(); }
  // The request heads read so far, in arrival order.
  std::vector<std::string> requests();

  // For answers: sends all of `data` unless the client has gone (false).
  static bool Send(int socket, const std::string& data);
  // Waits until the client closes or `stopping` is set, at most `limitMs`;
  // true when the client closed.
  static bool WaitForClose(int socket, const std::atomic<bool>& stopping, int limitMs);
  // A request head up to its blank line (or the first bytes of a TLS
  // handshake, which never has one); gives up after 10 s, at the end of the
  // stream or once `stopping` is set.
  static std::string ReadHead(int socket, const std::atomic<bool>& stopping);

 private:
  void Serve();

  Answer answer_;
  AfterAnswer after_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> accepted_{0};
  std::mutex mutex_;
  std::vector<std::string> requests_;
  std::vector<int> held_;  // only the server's thread touches it until the join
  std::thread thread_;
};

}  // namespace tw::testing
