// An httplib server on a free port of 127.0.0.1, for the ordinary answers a
// test needs: routes are set on server(), then Start serves them from a
// thread of its own until the object goes.
#pragma once

#include <httplib.h>

#include <memory>
#include <string>
#include <thread>

namespace tw::testing {

class LocalHttpServer {
 public:
  // TLS (with a certificate made for this run) only in the POSIX tree; the
  // Windows tree's small server speaks plain HTTP.
  explicit LocalHttpServer(bool tls = false);
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  httplib::Server& server() { return *server_; }
  // Serves the routes set so far; returns the port.
  int Start();
  int port() const { return port_; }
  std::string Url(const std::string& path) const;

 private:
  static std::unique_ptr<httplib::Server> MakeServer(bool tls);

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  bool tls_;
};

}  // namespace tw::testing
