#include "tests/support/http_server.h"

#include <chrono>

#include "tests/support/wait_for.h"

namespace tw::testing {

// Bound at once, so that a test can name its URLs before the routes exist.
LocalHttpServer::LocalHttpServer(bool tls) : server_(MakeServer(tls)), tls_(tls) {
  port_ = server_->bind_to_any_port("127.0.0.1");
}

LocalHttpServer::~LocalHttpServer() {
  if (thread_.joinable()) {
    server_->stop();
    thread_.join();
  }
}

int LocalHttpServer::Start() {
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // stop() reaches only a server that is already running.
  EXPECT_TRUE(WaitFor([this] { return server_->is_running(); }, std::chrono::seconds(5),
                      "the HTTP server to run"));
  return port_;
}

std::string LocalHttpServer::Url(const std::string& path) const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace tw::testing
