// One request through libcurl, set up step by step so each refusal can be told
// apart, then run with its own multi handle so a waiting UI thread keeps
// painting. Redirects are followed here rather than by libcurl, because the
// program's rules differ from libcurl's: at most 10, never from https to http,
// POST turning into GET on 301, 302 and 303, and a redirect that is not
// followed returned as the response.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "text/text.h"

namespace tw {

// Where an exchange stopped short.
enum class ExchangeFailure {
  kNone,
  kNotSent,     // name not resolved, connection refused, TLS failure, wait before connecting
  kNoResponse,  // closed, reset or timed out before the response headers ended
  kBodyCut,     // failed or timed out while reading the body
  kAbandoned,   // the caller's abandon check said so
};

class CurlRequest {
 public:
  CurlRequest() = default;
  CurlRequest(const CurlRequest&) = delete;
  CurlRequest& operator=(const CurlRequest&) = delete;
  ~CurlRequest();

  // False when libcurl cannot be initialised in this process.
  static bool PlatformReady();

  bool OpenSession();  // the multi handle
  // One value for every wait: resolving, connecting, sending, each wait for
  // data. Applies from OpenConnection on.
  bool SetTimeout(int64_t milliseconds);
  bool OpenConnection();  // the easy handle
  // `url` must already be absolute http(s) and percent-encoded.
  bool OpenRequest(const std::string& url, int32_t method, const Bytes& body);
  bool SetServerCredentials(const Text& user, const Text& password);
  bool SetProxy(const Text& proxy);
  bool SetProxyCredentials(const Text& user, const Text& password);
  bool IgnoreCertificateErrors();
  bool SetCookieEngine(bool on);
  void SetFollowRedirects(bool follow) { followRedirects_ = follow; }
  // Asked after each round of waiting (and of the window's messages, on the UI
  // thread); true ends the exchange at once.
  void SetAbandonCheck(std::function<bool()> check) { abandoned_ = std::move(check); }
  // Sends exactly these lines; libcurl's own defaults that they lack are
  // suppressed. False for a line that is not a header.
  bool SetHeaderBlock(std::string_view block);

  // Runs the exchange. The header block is the final response's, CRLF lines
  // with the blank line that ends it; the body is what arrived of it.
  ExchangeFailure Perform();
  const Text& rawHeaders() const { return rawHeaders_; }
  Bytes& body() { return body_; }

 private:
  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded);
  // Called once the connection stands, just before the request goes out.
  static int OnPrerequest(void* self, char*, char*, int, int);

  bool ApplyMethod();
  CURLcode RunOnce();
  bool NextHop();
  void Touch();

  CURLM* multi_ = nullptr;
  CURL* easy_ = nullptr;
  curl_slist* headers_ = nullptr;
  Bytes requestBody_;
  int32_t method_ = 0;
  bool secure_ = false;
  bool followRedirects_ = true;
  int64_t timeoutMs_ = 30000;
  std::function<bool()> abandoned_;
  bool wasAbandoned_ = false;

  // Per response.
  Text rawHeaders_;
  int statusCode_ = 0;
  bool headersDone_ = false;
  Bytes body_;
  int64_t lastActivityMs_ = 0;
  bool connected_ = false;
  curl_off_t uploaded_ = 0;
};

}  // namespace tw
