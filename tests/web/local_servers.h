// Servers on 127.0.0.1 that the web tests start and stop themselves.
#pragma once

#include <httplib.h>
#if !defined(_WIN32)
#include <sys/types.h>
#endif

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include "standin/self_signed.h"
#endif

namespace tw::testing {

// An httplib server (plain or TLS) on a free loopback port, serving from its
// own thread until destroyed. The Windows tree's servers are plain only
// (local_servers_win32.cpp); its tests leave TLS to the POSIX tree.
class LocalHttpServer {
 public:
  explicit LocalHttpServer(bool tls);
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  httplib::Server& server() { return *server_; }
  // Starts serving the routes registered so far; returns the port.
  int Start();
  int port() const { return port_; }
  std::string Url(const std::string& path) const;

 private:
#if !defined(_WIN32)
  SelfSignedIdentity identity_;
#endif
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  bool tls_;
};

// A bare TCP server for answers no HTTP library would give: each connection
// has its request head read (up to the blank line), recorded, and handed with
// the socket to `answer`.
class RawServer {
 public:
  using Answer = std::function<void(int socket, const std::string& requestHead)>;
  explicit RawServer(Answer answer);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  int port() const { return port_; }
  std::vector<std::string> requests();

  // Helpers for answers.
  static void Send(int socket, const std::string& data);
  // Waits until the client closes or `stopping` is set, at most `limitMs`.
  static void WaitForClose(int socket, const std::atomic<bool>& stopping, int limitMs);
  const std::atomic<bool>& stopping() const { return stopping_; }

 private:
  void Serve();

  Answer answer_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A port nothing listens on.
int RefusedPort();

#if !defined(_WIN32)
// The share_standin program, started with `arguments`; ended with SIGTERM.
class StandinProcess {
 public:
  explicit StandinProcess(const std::vector<std::string>& arguments = {});
  ~StandinProcess();
  StandinProcess(const StandinProcess&) = delete;
  StandinProcess& operator=(const StandinProcess&) = delete;

  // 0 when it did not report a port.
  int port() const { return port_; }
  // Sends SIGTERM and returns the exit status (-1 when it did not exit normally).
  int Stop();

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};
#endif

}  // namespace tw::testing
