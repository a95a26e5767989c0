// One HTTP exchange, with the redirects it leads to, on the calling thread.
//
// This is the whole interface the web access and the download engine use; the
// transport behind it is the platform's (libcurl here, in the curl_* files).
// A Transfer is run once. Its caller may end it from another thread with
// Wake(), or from its own thread through the poll hook, at once in every phase:
// name lookup, connect, TLS handshake, sending, waiting for headers, mid-body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/time_limits.h"
#include "net/transfer_end.h"
#include "net/url.h"
#include "text/text.h"

namespace tw::net {

// Process-wide preparation of the transport; idempotent and thread-safe. False
// when the transport cannot be used in this process. Every Transfer calls it.
bool PrepareNetwork();

struct Credentials {
  Text user, password;  // basic scheme; used only when both are non-empty
};

struct Request {
  UrlParts url;
  std::string method = "GET";
  // Sent exactly as given, in this order, after Host (and User-Agent when
  // set); nothing else goes out but what HTTP/1.1 needs for the body
  // (Content-Length). A line "Name:" with nothing after it is sent empty.
  std::vector<std::string> headerLines;
  std::string userAgent;  // empty: no User-Agent line
  Bytes body;
  Timeouts timeouts;

  // Followed up to 10 hops (301, 302, 303, 307, 308), never from https to
  // http: such a redirect is then the final response. 301, 302 and 303 turn
  // POST into GET without body (303 also every other method but HEAD).
  bool followRedirects = true;
  // Cookies that redirect responses set go out on later hops to their host,
  // merged into the request's own Cookie line.
  bool carryCookies = false;
  // Sent to the first host only; dropped once a redirect leaves it.
  Credentials server;
  std::string proxy;  // host:port; empty: no proxy, and none from the environment
  Credentials proxyCredentials;
  // More than this many body bytes in the final response ends the transfer as
  // kTooLarge: right after OnResponse when Content-Length says so, else when
  // the bytes pass it (the bytes up to the cap are handed on). -1: no cap.
  // Whatever the cap, a body never goes past the length its head announced
  // (kOverrun), and a redirect's own body is read to 64 KiB at most.
  int64_t maxBodyBytes = -1;

  // Called on the calling thread at least every pollIntervalMs while the
  // transfer waits, and before each body piece is handed on; true ends the
  // transfer at once as kWoken.
  std::function<bool()> poll;
  int32_t pollIntervalMs = 1000;
};

// The final response, as far as it is known before its body.
struct ResponseHead {
  int status = 0;
  UrlParts url;                          // the URL that answered (after redirects)
  std::optional<int64_t> contentLength;  // absent when the response has none
  // Every line of the head, status line first, each ended by CRLF (also when
  // the server ended them with a bare line feed), with the blank line that
  // ends the head.
  Text rawHeaders;
  // The value of the first header line of that name (letter case ignored),
  // trimmed; nullopt when there is none.
  std::optional<Text> Header(std::string_view name) const;
  // The values of every header line of that name, in order.
  std::vector<Text> Headers(std::string_view name) const;
};

class ResponseSink {
 public:
  virtual ~ResponseSink() = default;
  // Once, before the first body byte of the final response (also when it has
  // no body). False ends the transfer as kRefusedBySink.
  virtual bool OnResponse(const ResponseHead& head) = 0;
  // Each piece of that body, in arrival order; the bytes are valid only during
  // the call. False ends the transfer as kRefusedBySink.
  virtual bool OnBody(const char* data, size_t size) = 0;
};

class Transfer {
 public:
  explicit Transfer(Request request);
  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // Runs the exchange to its end. The sink hears only of the final response.
  TransferEnd Run(ResponseSink& sink);
  // From any thread, also before Run or after it: makes Run return kWoken as
  // soon as it can.
  void Wake();

  // After Run: the redirects followed (0 without any).
  int32_t redirectsFollowed() const;
  // After Run: the transport's own words on a failure (empty otherwise).
  const std::string& detail() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tw::net
