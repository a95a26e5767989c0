// One HTTP(S) GET over libcurl, run on the calling thread, that a wake request
// to that thread ends at once in every phase: resolving, connecting, the TLS
// handshake, waiting for headers, or mid-body.
//
// The request: the browser user agent, "Range:bytes=0-", HTTP/1.1, no proxy
// (proxy variables in the environment are ignored too), no cookies,
// certificates verified. Redirects (301, 302, 303, 307, 308) are followed, at
// most 10, never from https to http (such a redirect response is then the
// final response, and its body is what gets written). The status code of
// the final response is handed to the sink, which judges it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "text/text.h"

namespace tw {

inline constexpr char kDownloadUserAgent[] =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/76.0.3809.132 Safari/537.36";
inline constexpr char kDownloadRangeHeader[] = "Range:bytes=0-";
inline constexpr int32_t kMaxRedirects = 10;
// libcurl's receive buffer: large reads keep the system calls per byte low.
inline constexpr long kReceiveBufferBytes = 512 * 1024;

struct HttpGetSink {
  // Before the first body byte of the final response, with its status code;
  // `contentLength` is 0 when the response has none. False aborts the transfer.
  std::function<bool(int32_t status, int64_t contentLength)> begin;
  // Each piece of the body, in arrival order. False aborts the transfer.
  std::function<bool(const char* data, size_t size)> chunk;
};

enum class HttpGetResult {
  Completed,  // the final response's body arrived in full
  EmptyBody,  // the final response had no body
  Failed,     // bad URL, no connection, TLS, broken body, or the sink aborted
  Woken,      // a wake request to this thread ended the transfer
};

// `error` receives a short English reason on Failed.
HttpGetResult RunHttpGet(const Text& url, const HttpGetSink& sink, std::string* error);

}  // namespace tw
