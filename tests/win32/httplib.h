// The loopback HTTP server of the tests in the Windows tree, over Winsock.
//
// The POSIX tree's tests use the system's cpp-httplib, whose Debian package
// ships its implementation only as a Linux library. This header provides the
// part of that interface the tests use, under the same names, so the same
// test sources build for Windows: routes by regular expression, fixed
// content, content providers with and without a length, and a server on an
// ephemeral port that stops on request. One connection thread per client;
// every response closes its connection.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/wait_for.h"

namespace httplib {

namespace detail {

struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return std::tolower(static_cast<unsigned char>(x)) <
             std::tolower(static_cast<unsigned char>(y));
    });
  }
};

struct WinsockUser {
  WinsockUser() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~WinsockUser() { WSACleanup(); }
};
inline WinsockUser winsockUser;

inline bool SendAll(SOCKET s, const char* data, size_t size) {
  while (size > 0) {
    const int n = ::send(s, data, static_cast<int>(size > (1 << 20) ? (1 << 20) : size), 0);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

inline const char* Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 206:
      return "Partial Content";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 307:
      return "Temporary Redirect";
    case 308:
      return "Permanent Redirect";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

}  // namespace detail

using Headers = std::multimap<std::string, std::string, detail::NoCaseLess>;

struct Request {
  std::string method;
  std::string path;    // without the query
  std::string target;  // as sent: path and query
  std::string version;
  Headers headers;
  std::string body;
  std::smatch matches;

  bool has_header(const std::string& key) const { return headers.find(key) != headers.end(); }
  std::string get_header_value(const std::string& key, size_t id = 0) const {
    auto range = headers.equal_range(key);
    for (auto it = range.first; it != range.second; ++it, --id) {
      if (id == 0) return it->second;
    }
    return {};
  }
};

class DataSink {
 public:
  std::function<bool(const char* data, size_t size)> write;
  std::function<void()> done;
  std::function<bool()> is_writable;
};

using ContentProvider = std::function<bool(size_t offset, size_t length, DataSink& sink)>;
using ContentProviderWithoutLength = std::function<bool(size_t offset, DataSink& sink)>;

struct Response {
  int status = -1;  // 200 unless a handler sets another
  Headers headers;
  std::string body;

  void set_header(const std::string& key, const std::string& value) { headers.emplace(key, value); }
  void set_redirect(const std::string& url, int code = 302) {
    headers.erase("Location");
    headers.emplace("Location", url);
    status = code;
  }
  void set_content(const std::string& content, const std::string& type) {
    body = content;
    headers.erase("Content-Type");
    headers.emplace("Content-Type", type);
  }
  void set_content_provider(size_t length, const std::string& type, ContentProvider provider) {
    headers.erase("Content-Type");
    headers.emplace("Content-Type", type);
    providerLength = length;
    sized = std::move(provider);
  }
  void set_chunked_content_provider(const std::string& type,
                                    ContentProviderWithoutLength provider) {
    headers.erase("Content-Type");
    headers.emplace("Content-Type", type);
    chunked = std::move(provider);
  }

  size_t providerLength = 0;
  ContentProvider sized;
  ContentProviderWithoutLength chunked;
};

class Server {
 public:
  using Handler = std::function<void(const Request&, Response&)>;

  Server() = default;
  ~Server() {
    stop();
    JoinConnections();
  }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  Server& Get(const std::string& pattern, Handler handler) {
    routes_.push_back({"GET", std::regex(pattern), std::move(handler)});
    return *this;
  }
  Server& Post(const std::string& pattern, Handler handler) {
    routes_.push_back({"POST", std::regex(pattern), std::move(handler)});
    return *this;
  }

  // The port, or -1.
  int bind_to_any_port(const std::string& host, int = 0) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    ::inet_pton(AF_INET, host.c_str(), &addr.sin_addr);
    addr.sin_port = 0;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, SOMAXCONN) != 0) {
      return -1;
    }
    int len = sizeof addr;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
  }

  // Accepts until stop().
  bool listen_after_bind() {
    running_ = true;
    while (!stopping_) {
      WSAPOLLFD p{listener_, POLLRDNORM, 0};
      if (::WSAPoll(&p, 1, 20) <= 0) continue;
      SOCKET client = ::accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) continue;
      std::lock_guard guard(mutex_);
      connections_.emplace_back([this, client] { Serve(client); });
    }
    running_ = false;
    return true;
  }

  bool is_running() const { return running_; }

  void stop() {
    stopping_ = true;
    // The accept loop looks at the flag every 20 ms.
    EXPECT_TRUE(tw::testing::WaitFor([this] { return !running_; }, std::chrono::seconds(10),
                                     "the accept loop to end"));
    if (listener_ != INVALID_SOCKET) {
      ::closesocket(listener_);
      listener_ = INVALID_SOCKET;
    }
  }

 private:
  struct Route {
    std::string method;
    std::regex pattern;
    Handler handler;
  };

  void JoinConnections() {
    std::vector<std::thread> threads;
    {
      std::lock_guard guard(mutex_);
      threads.swap(connections_);
    }
    for (std::thread& t : threads) t.join();
  }

  // Reads until `have` holds `size` bytes or the head's end; false when the
  // client went away or the server stops.
  bool Receive(SOCKET s, std::string& have, size_t size, bool untilHeadEnd) {
    char buffer[8192];
    while (untilHeadEnd ? have.find("\r\n\r\n") == std::string::npos : have.size() < size) {
      if (stopping_) return false;
      WSAPOLLFD p{s, POLLRDNORM, 0};
      const int ready = ::WSAPoll(&p, 1, 20);
      if (ready < 0) return false;
      if (ready == 0) continue;
      const int n = ::recv(s, buffer, sizeof buffer, 0);
      if (n <= 0) return false;
      have.append(buffer, static_cast<size_t>(n));
      // Not HTTP (a TLS handshake, say): answered as a bad request at once.
      if (untilHeadEnd && !LooksLikeText(have)) return false;
    }
    return true;
  }

  static bool LooksLikeText(const std::string& head) {
    for (char c : head) {
      const auto b = static_cast<unsigned char>(c);
      if (b >= 0x80 || (b < 0x20 && b != '\r' && b != '\n' && b != '\t')) return false;
    }
    return true;
  }

  void Serve(SOCKET s) {
    std::string data;
    if (Receive(s, data, 0, true)) {
      Answer(s, data);
    } else if (!data.empty() && !LooksLikeText(data)) {
      static const char kBad[] = "HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n";
      detail::SendAll(s, kBad, sizeof kBad - 1);
    }
    ::shutdown(s, SD_SEND);
    ::closesocket(s);
  }

  void Answer(SOCKET s, std::string& data) {
    const size_t headEnd = data.find("\r\n\r\n");
    Request req;
    std::string head = data.substr(0, headEnd);
    std::string rest = data.substr(headEnd + 4);
    size_t lineEnd = head.find("\r\n");
    const std::string first = head.substr(0, lineEnd);
    const size_t sp1 = first.find(' ');
    const size_t sp2 = first.rfind(' ');
    if (sp1 == std::string::npos || sp2 == sp1) return;
    req.method = first.substr(0, sp1);
    req.target = first.substr(sp1 + 1, sp2 - sp1 - 1);
    req.version = first.substr(sp2 + 1);
    req.path = req.target.substr(0, req.target.find('?'));
    size_t at = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (at < head.size()) {
      size_t end = head.find("\r\n", at);
      if (end == std::string::npos) end = head.size();
      const std::string line = head.substr(at, end - at);
      const size_t colon = line.find(':');
      if (colon != std::string::npos) {
        size_t v = colon + 1;
        while (v < line.size() && line[v] == ' ') ++v;
        req.headers.emplace(line.substr(0, colon), line.substr(v));
      }
      at = end + 2;
    }
    const std::string length = req.get_header_value("Content-Length");
    if (!length.empty()) {
      const size_t size = std::stoul(length);
      if (!Receive(s, rest, size, false)) return;
      req.body = rest.substr(0, size);
    }

    Response res;
    bool found = false;
    for (const Route& route : routes_) {
      if (route.method != req.method) continue;
      if (std::regex_match(req.path, req.matches, route.pattern)) {
        route.handler(req, res);
        found = true;
        break;
      }
    }
    if (!found) res.status = 404;
    if (res.status == -1) res.status = 200;
    Send(s, req, res);
  }

  void Send(SOCKET s, const Request& req, Response& res) {
    std::string out =
        "HTTP/1.1 " + std::to_string(res.status) + " " + detail::Reason(res.status) + "\r\n";
    for (const auto& [key, value] : res.headers) out += key + ": " + value + "\r\n";
    out += "Connection: close\r\n";
    const bool head = req.method == "HEAD";
    if (res.chunked) {
      out += "Transfer-Encoding: chunked\r\n\r\n";
    } else {
      const size_t size = res.sized ? res.providerLength : res.body.size();
      out += "Content-Length: " + std::to_string(size) + "\r\n\r\n";
    }
    if (!detail::SendAll(s, out.data(), out.size()) || head) return;
    if (res.chunked) {
      bool done = false;
      bool ok = true;
      size_t offset = 0;
      DataSink sink;
      sink.write = [&](const char* data, size_t size) {
        if (size == 0) return true;
        char frame[32];
        std::snprintf(frame, sizeof frame, "%zx\r\n", size);
        ok = ok && detail::SendAll(s, frame, std::strlen(frame)) &&
             detail::SendAll(s, data, size) && detail::SendAll(s, "\r\n", 2);
        offset += size;
        return ok;
      };
      sink.done = [&] { done = true; };
      sink.is_writable = [&] { return ok; };
      while (!done && ok && !stopping_) {
        if (!res.chunked(offset, sink)) return;
      }
      if (done && ok) detail::SendAll(s, "0\r\n\r\n", 5);
    } else if (res.sized) {
      bool ok = true;
      size_t offset = 0;
      DataSink sink;
      sink.write = [&](const char* data, size_t size) {
        ok = ok && detail::SendAll(s, data, size);
        offset += size;
        return ok;
      };
      sink.done = [] {};
      sink.is_writable = [&] { return ok; };
      while (offset < res.providerLength && ok && !stopping_) {
        if (!res.sized(offset, res.providerLength - offset, sink)) return;
      }
    } else {
      detail::SendAll(s, res.body.data(), res.body.size());
    }
  }

  std::vector<Route> routes_;
  SOCKET listener_ = INVALID_SOCKET;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::vector<std::thread> connections_;
};

}  // namespace httplib
