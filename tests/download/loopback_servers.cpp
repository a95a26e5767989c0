#include "tests/download/loopback_servers.h"

#if defined(_WIN32)
// Winsock, started by httplib.h. A socket fits in an int in practice.
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "download/thread_record.h"

namespace tw::test {
namespace {

#if defined(_WIN32)
using socklen_t = int;
constexpr int kCloseOnExec = 0;
constexpr int kNoSignal = 0;
void CloseSocket(int fd) { ::closesocket(static_cast<SOCKET>(fd)); }
int PollIn(int fd, int ms) {
  WSAPOLLFD p{static_cast<SOCKET>(fd), POLLRDNORM, 0};
  return ::WSAPoll(&p, 1, ms);
}
int Accept(int listener) {
  const SOCKET s = ::accept(static_cast<SOCKET>(listener), nullptr, nullptr);
  return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}
// A connect that goes on in the background.
int NonBlockingSocket() {
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
  u_long on = 1;
  ::ioctlsocket(s, FIONBIO, &on);
  return static_cast<int>(s);
}
#else
constexpr int kCloseOnExec = SOCK_CLOEXEC;
constexpr int kNoSignal = MSG_NOSIGNAL;
void CloseSocket(int fd) { ::close(fd); }
int PollIn(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, ms);
}
int Accept(int listener) { return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); }
int NonBlockingSocket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }
#endif

int ListenOnLoopback(int backlog, int* port) {
  int fd = static_cast<int>(::socket(AF_INET, SOCK_STREAM | kCloseOnExec, 0));
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
  for (int fd : held_) CloseSocket(fd);
  CloseSocket(listener_);
}

std::string RawServer::Url(const std::string& path) const { return LoopbackUrl(port_, path); }

void RawServer::Serve() {
  while (!stopping_) {
    if (PollIn(listener_, 20) <= 0) continue;
    int fd = Accept(listener_);
    if (fd < 0) continue;
    ++accepted_;
    // Read the request up to its blank line (bounded by the stop flag).
    std::string request;
    char buf[4096];
    while (!stopping_ && request.find("\r\n\r\n") == std::string::npos) {
      if (PollIn(fd, 20) <= 0) continue;
      const int n = static_cast<int>(::recv(fd, buf, sizeof buf, 0));
      if (n <= 0) break;
      request.append(buf, static_cast<size_t>(n));
    }
    if (!reply_.empty())
      (void)!::send(fd, reply_.data(), static_cast<int>(reply_.size()), kNoSignal);
    if (closeAfterReply_) {
      CloseSocket(fd);
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
    int fd = NonBlockingSocket();
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
  for (int fd : fillers_) CloseSocket(fd);
  CloseSocket(listener_);
}

std::string FullBacklogListener::Url(const std::string& path) const {
  return LoopbackUrl(port_, path);
}

int ClosedPort() {
  int port = 0;
  int fd = ListenOnLoopback(1, &port);
  CloseSocket(fd);
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

void SetEnvironment(const char* name, const std::string& value) {
#if defined(_WIN32)
  _putenv_s(name, value.c_str());
#else
  if (value.empty()) {
    unsetenv(name);
  } else {
    setenv(name, value.c_str(), 1);
  }
#endif
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
  std::random_device random;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const std::filesystem::path candidate =
        std::filesystem::temp_directory_path() / ("tw_download_" + std::to_string(random()));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) path_ = candidate.string();
  }
  if (path_.empty()) std::abort();
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace tw::test
