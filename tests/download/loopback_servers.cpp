#include "tests/download/loopback_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "download/thread_record.h"

namespace tw::test {
namespace {

int ListenOnLoopback(int backlog, int* port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(fd, backlog) != 0) {
    std::abort();
  }
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  *port = ntohs(addr.sin_port);
  return fd;
}

std::string LoopbackUrl(int port, const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(port) + path;
}

}  // namespace

HttpServer::HttpServer() { port_ = server_.bind_to_any_port("127.0.0.1"); }

void HttpServer::Start() {
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  for (int i = 0; i < 500 && !server_.is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

HttpServer::~HttpServer() {
  server_.stop();
  if (thread_.joinable()) thread_.join();
}

std::string HttpServer::Url(const std::string& path) const { return LoopbackUrl(port_, path); }

RawServer::RawServer(std::string reply, bool closeAfterReply)
    : reply_(std::move(reply)), closeAfterReply_(closeAfterReply) {
  listener_ = ListenOnLoopback(16, &port_);
  thread_ = std::thread([this] { Serve(); });
}

RawServer::~RawServer() {
  stopping_ = true;
  thread_.join();
  for (int fd : held_) ::close(fd);
  ::close(listener_);
}

std::string RawServer::Url(const std::string& path) const { return LoopbackUrl(port_, path); }

void RawServer::Serve() {
  while (!stopping_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++accepted_;
    // Read the request up to its blank line (bounded by the stop flag).
    std::string request;
    char buf[4096];
    while (!stopping_ && request.find("\r\n\r\n") == std::string::npos) {
      pollfd q{fd, POLLIN, 0};
      if (::poll(&q, 1, 20) <= 0) continue;
      ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      request.append(buf, static_cast<size_t>(n));
    }
    if (!reply_.empty()) (void)!::send(fd, reply_.data(), reply_.size(), MSG_NOSIGNAL);
    if (closeAfterReply_) {
      ::close(fd);
    } else {
      held_.push_back(fd);
    }
  }
}

FullBacklogListener::FullBacklogListener() {
  listener_ = ListenOnLoopback(0, &port_);
  // Fill the accept queue; the connects beyond its size stay pending, and so
  // will the engine's.
  for (int i = 0; i < 4; ++i) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port_));
    (void)::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    fillers_.push_back(fd);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

FullBacklogListener::~FullBacklogListener() {
  for (int fd : fillers_) ::close(fd);
  ::close(listener_);
}

std::string FullBacklogListener::Url(const std::string& path) const {
  return LoopbackUrl(port_, path);
}

int ClosedPort() {
  int port = 0;
  int fd = ListenOnLoopback(1, &port);
  ::close(fd);
  return port;
}

ProgressCallback ReportLog::Callback() {
  return [this](int32_t tag, int32_t status, int64_t total, int64_t received, int64_t remaining,
                float fraction, float speed, int32_t elapsed, const Text& path) {
    {
      std::lock_guard guard(mutex_);
      reports_.push_back({tag, status, total, received, remaining, fraction, speed, elapsed, path});
    }
    changed_.notify_all();
  };
}

bool ReportLog::WaitEnded(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [this] {
    for (const Report& r : reports_) {
      if (r.status == Ended) return true;
    }
    return false;
  });
}

std::vector<Report> ReportLog::Reports() {
  std::lock_guard guard(mutex_);
  return reports_;
}

int ReportLog::Count(int32_t status) {
  std::lock_guard guard(mutex_);
  int n = 0;
  for (const Report& r : reports_) n += r.status == status;
  return n;
}

std::vector<int32_t> ReportLog::Statuses() {
  std::lock_guard guard(mutex_);
  std::vector<int32_t> out;
  for (const Report& r : reports_) out.push_back(r.status);
  return out;
}

bool WaitForEngineThreads(std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (RunningEngineThreads() > 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string Pattern(size_t size, uint32_t seed) {
  std::string out(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1664525u + 1013904223u;
    out[i] = static_cast<char>(x >> 24);
  }
  return out;
}

TempFolder::TempFolder() {
  std::string base = (std::filesystem::temp_directory_path() / "tw_download_XXXXXX").string();
  if (::mkdtemp(base.data()) == nullptr) std::abort();
  path_ = base;
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace tw::test
