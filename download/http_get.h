// The download's GET, run on the calling thread, that a wake request to that
// thread ends at once in every phase: resolving, connecting, the TLS
// handshake, waiting for headers, or mid-body.
//
// The request: the browser user agent, the caller's header lines (by default
// only "Range:bytes=0-"), HTTP/1.1, no proxy (proxy variables in the
// environment are ignored too), no cookies, certificates verified, the
// platform's time limits unless the caller sets others. Redirects are
// followed by the network layer's rules. The final response's head is handed
// to the sink, which judges it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "net/transfer.h"
#include "text/text.h"

namespace tw {

inline constexpr char kDownloadUserAgent[] =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/76.0.3809.132 Safari/537.36";
inline constexpr char kDownloadRangeHeader[] = "Range:bytes=0-";

struct HttpGetSink {
  // Before the first body byte of the final response: its status, its
  // Content-Length (absent told apart from 0) and its whole head. False aborts
  // the transfer.
  std::function<bool(const net::ResponseHead& head)> begin;
  // Each piece of the body, in arrival order. False aborts the transfer.
  std::function<bool(const char* data, size_t size)> chunk;
};

struct HttpGetOptions {
  std::vector<std::string> headerLines{kDownloadRangeHeader};
  net::Timeouts timeouts;  // the platform's defaults
};

enum class HttpGetResult {
  Completed,  // the final response's body arrived in full
  EmptyBody,  // the final response had no body
  Failed,     // bad URL, no connection, TLS, broken body, or the sink aborted
  Woken,      // a wake request to this thread ended the transfer
};

struct HttpGetOutcome {
  HttpGetResult result = HttpGetResult::Failed;
  net::TransferEnd end = net::TransferEnd::kFailed;  // how the transfer ended, in detail
  std::optional<net::ResponseHead> head;             // the final response's, once its head arrived
  std::string error;                                 // a short English reason on Failed
};

HttpGetOutcome RunHttpGet(const Text& url, const HttpGetSink& sink,
                          const HttpGetOptions& options = {});

}  // namespace tw
