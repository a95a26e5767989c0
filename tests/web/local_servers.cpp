#include "tests/web/local_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

namespace tw::testing {
namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int ListenLoopback(int& port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, 16) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

LocalHttpServer::LocalHttpServer(bool tls) : tls_(tls) {
  if (tls) {
    identity_ = MakeSelfSignedIdentity();
    server_ =
        std::make_unique<httplib::SSLServer>(identity_.certificate.get(), identity_.key.get());
  } else {
    server_ = std::make_unique<httplib::Server>();
  }
}

LocalHttpServer::~LocalHttpServer() {
  if (thread_.joinable()) {
    server_->stop();
    thread_.join();
  }
}

int LocalHttpServer::Start() {
  port_ = server_->bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // stop() only reaches a server that is already running.
  for (int i = 0; i < 5000 && !server_->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return port_;
}

std::string LocalHttpServer::Url(const std::string& path) const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
}

RawServer::RawServer(Answer answer) : answer_(std::move(answer)) {
  listener_ = ListenLoopback(port_);
  thread_ = std::thread([this] { Serve(); });
}

RawServer::~RawServer() {
  stopping_.store(true);
  thread_.join();
  close(listener_);
}

std::vector<std::string> RawServer::requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

void RawServer::Serve() {
  while (!stopping_.load()) {
    pollfd waiting{listener_, POLLIN, 0};
    if (poll(&waiting, 1, 20) <= 0) continue;
    int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    std::string head;
    char buffer[4096];
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (head.find("\r\n\r\n") == std::string::npos && !stopping_.load() &&
           std::chrono::steady_clock::now() < deadline) {
      pollfd readable{client, POLLIN, 0};
      if (poll(&readable, 1, 20) <= 0) continue;
      ssize_t got = recv(client, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      head.append(buffer, static_cast<std::size_t>(got));
      if (head[0] == 0x16) break;  // a TLS handshake, not a request head
    }
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(head);
    }
    answer_(client, head);
    close(client);
  }
}

void RawServer::Send(int socket, const std::string& data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = send(socket, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

void RawServer::WaitForClose(int socket, const std::atomic<bool>& stopping, int limitMs) {
  char buffer[1024];
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!stopping.load() && std::chrono::steady_clock::now() < deadline) {
    pollfd readable{socket, POLLIN, 0};
    if (poll(&readable, 1, 20) <= 0) continue;
    if (recv(socket, buffer, sizeof buffer, 0) <= 0) return;
  }
}

int RefusedPort() {
  int port = 0;
  int fd = ListenLoopback(port);
  close(fd);
  return port;
}

StandinProcess::StandinProcess(const std::vector<std::string>& arguments) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return;
  std::vector<std::string> all = {TW_SHARE_STANDIN};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);

  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (pid_ > 0 && line.find('\n') == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    pollfd readable{out[0], POLLIN, 0};
    if (poll(&readable, 1, 50) <= 0) continue;
    char c;
    if (read(out[0], &c, 1) != 1) break;
    line += c;
  }
  close(out[0]);
  if (line.starts_with("PORT ")) port_ = std::atoi(line.c_str() + 5);
}

StandinProcess::~StandinProcess() { Stop(); }

int StandinProcess::Stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tw::testing
