// Servers the download tests start on 127.0.0.1, and a thread-safe log of the
// progress reports a download makes.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "download/download_status.h"
#include "text/text.h"

namespace tw::test {

// An httplib server on an ephemeral loopback port, listening on a thread of its
// own until destroyed.
class HttpServer {
 public:
  HttpServer();
  ~HttpServer();
  httplib::Server& server() { return server_; }
  // Starts listening; routes must be set before.
  void Start();
  std::string Url(const std::string& path) const;
  int port() const { return port_; }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

// A raw server for what httplib cannot be made to do: each accepted connection
// gets the request read, then `reply` sent, then is held open (a stall) until
// the server is destroyed, or closed at once when `closeAfterReply`.
class RawServer {
 public:
  RawServer(std::string reply, bool closeAfterReply);
  ~RawServer();
  std::string Url(const std::string& path) const;
  int Accepted() const { return accepted_.load(); }

 private:
  void Serve();
  int listener_ = -1;
  int port_ = 0;
  std::string reply_;
  bool closeAfterReply_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> accepted_{0};
  std::thread thread_;
  std::vector<int> held_;
};

// A listening socket whose accept queue is full and never drained: a further
// connect to it never completes.
class FullBacklogListener {
 public:
  FullBacklogListener();
  ~FullBacklogListener();
  std::string Url(const std::string& path) const;

 private:
  int listener_ = -1;
  int port_ = 0;
  std::vector<int> fillers_;
};

// A port on which nothing listens.
int ClosedPort();

struct Report {
  int32_t tag;
  int32_t status;
  int64_t total;
  int64_t received;
  int64_t remaining;
  float fraction;
  float speed;
  int32_t elapsedMs;
  Text path;
};

class ReportLog {
 public:
  ProgressCallback Callback();
  // Waits (bounded, to catch a hang) until an Ended report arrived.
  bool WaitEnded(std::chrono::milliseconds limit = std::chrono::seconds(20));
  std::vector<Report> Reports();
  int Count(int32_t status);
  // The statuses in arrival order.
  std::vector<int32_t> Statuses();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Report> reports_;
};

// Waits (bounded) until every engine thread has finished; false on a hang.
bool WaitForEngineThreads(std::chrono::milliseconds limit = std::chrono::seconds(20));

// Sets an environment variable of the process; an empty value removes it.
void SetEnvironment(const char* name, const std::string& value);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// `size` bytes of a pattern that does not repeat every few bytes.
std::string Pattern(size_t size, uint32_t seed = 1);

// A fresh folder under the system's temporary folder, removed when destroyed.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace tw::test
