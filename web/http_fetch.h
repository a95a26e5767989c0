// One HTTP or HTTPS request, synchronous, returning the response body as GBK
// text. Failures are reported as numbered messages in `statusText`; nothing is
// thrown and no message is shown. On the UI thread the window keeps painting
// while the request waits on the network.
#pragma once

#include <cstdint>
#include <functional>

#include "text/text.h"

namespace tw {

// Every field may be left as it is. Inputs default as shown; an output pointer
// left null is not delivered, and a given one is written only when the request
// gets as far as the step that produces it, so after a failure the outputs show
// how far it got.
struct HttpFetchOptions {
  // 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE, 6 TRACE, 7 CONNECT; any
  // other number sends GET.
  int32_t method = 0;
  Text postText;  // the body unless postBytes has one
  // In and out: the cookie text sent; after a response that set cookies (and
  // with mergeCookies) it holds the merged text, ready for the next request.
  // Non-empty also switches cookie handling across redirects on.
  Text* cookies = nullptr;
  // In and out: this response's name=value pairs are appended; after a merge
  // it holds the merged text too.
  Text* newCookies = nullptr;
  Text extraHeaders;                // the caller's header lines, CRLF-separated
  Text* responseHeaders = nullptr;  // out: the raw header block of the final response
  bool noRedirect = false;          // return a redirect instead of following it
  Text userName, password;          // basic credentials, used when both are non-empty
  Text proxy;                       // host:port; empty means no proxy at all
  Text proxyUser, proxyPassword;    // basic proxy credentials, used when both are non-empty
  int32_t timeoutSeconds = 0;       // every single wait; 0 or less means 30 seconds
  Text* location = nullptr;         // out: the value of the response's "Location: " line
  Text* statusText = nullptr;       // out: "200 OK" and the like, or a numbered message
  Bytes* responseBytes = nullptr;   // out: the raw body
  bool mergeCookies = true;
  bool addDefaultHeaders = true;
  Bytes postBytes;
  bool normalizeHeaderNames = true;
  // Asked while the request waits (after the window's messages have run, on
  // the UI thread): true abandons it at once. An abandoned request returns an
  // empty text and writes no output, statusText included.
  std::function<bool()> abandoned;
};

// The decoded body; empty when the request failed before the response headers.
// A 404 or 500 answer is read like any other.
Text HttpFetch(const Text& url, HttpFetchOptions options = {});

}  // namespace tw
