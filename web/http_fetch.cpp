#include "web/http_fetch.h"

#include <curl/curl.h>

#include <memory>
#include <optional>

#include "script/regex_object.h"
#include "text/convert.h"
#include "text/message_pump.h"
#include "text/texts.h"
#include "web/cookies.h"
#include "web/curl_request.h"
#include "web/request_headers.h"
#include "web/response_decoding.h"

namespace tw {
namespace {

constexpr int32_t kDefaultTimeoutSeconds = 30;
constexpr std::size_t kStatusTextStart = 9;  // after "HTTP/1.1 "
constexpr std::string_view kLocationPrefix = "Location: ";

// The URL as sent: UTF-8 with non-ASCII bytes and blanks percent-encoded.
// nullopt unless it is an absolute http or https URL with a host.
std::optional<std::string> CrackUrl(const Text& url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (unsigned char c : GbkToUtf8(url)) {
    if (c >= 0x80 || c <= 0x20) {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 0xF];
    } else {
      encoded += static_cast<char>(c);
    }
  }
  std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), &curl_url_cleanup);
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, encoded.c_str(), 0) != CURLUE_OK) {
    return std::nullopt;
  }
  char* scheme = nullptr;
  char* host = nullptr;
  char* whole = nullptr;
  std::optional<std::string> result;
  if (curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
      curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK &&
      curl_url_get(parsed.get(), CURLUPART_URL, &whole, 0) == CURLUE_OK &&
      (EqualsIgnoreCase(scheme, "http") || EqualsIgnoreCase(scheme, "https")) && *host != '\0') {
    result = whole;
  }
  curl_free(scheme);
  curl_free(host);
  curl_free(whole);
  return result;
}

// The status line from its tenth character to its CRLF: "200 OK".
Text StatusTextOf(const Text& headers) {
  if (headers.size() <= kStatusTextStart) return Text();
  std::size_t end = FindText(headers, "\r\n", kStatusTextStart);
  return end == kNotFound ? Text() : headers.substr(kStatusTextStart, end - kStatusTextStart);
}

}  // namespace

Text HttpFetch(const Text& url, HttpFetchOptions options) {
  RegexObject regex;
  const SystemTexts& texts = Texts();
  Text unusedCookies, unusedNewCookies;
  Text& cookies = options.cookies != nullptr ? *options.cookies : unusedCookies;
  Text& newCookies = options.newCookies != nullptr ? *options.newCookies : unusedNewCookies;
  auto setStatus = [&options](const Text& text) {
    if (options.statusText != nullptr) *options.statusText = text;
  };
  // The handles close when `request` goes, on every exit.
  CurlRequest request;
  auto abort = [&](const Text& message) {
    setStatus(message);
    return Text();
  };
  auto fail = [&](const Text& message) {
    setStatus(message);
    ProcessPendingMessages();
    return Text();
  };

  if (!CurlRequest::PlatformReady()) return abort(texts.error700);
  std::optional<std::string> wireUrl = CrackUrl(url);
  if (!wireUrl) return fail(texts.error701);
  if (!request.OpenSession()) return fail(texts.error702);
  int64_t seconds = options.timeoutSeconds > 0 ? options.timeoutSeconds : kDefaultTimeoutSeconds;
  if (!request.SetTimeout(seconds * 1000)) return fail(texts.error705);
  if (!request.OpenConnection() || !request.SetProxy(options.proxy)) return fail(texts.error703);
  Bytes body = !options.postBytes.empty() ? options.postBytes
                                          : Bytes(options.postText.begin(), options.postText.end());
  if (!request.OpenRequest(*wireUrl, options.method, body)) return fail(texts.error704);
  if (!options.userName.empty() && !options.password.empty() &&
      !request.SetServerCredentials(options.userName, options.password)) {
    return abort(texts.error707);
  }
  if (!options.proxyUser.empty() && !options.proxyPassword.empty() &&
      !request.SetProxyCredentials(options.proxyUser, options.proxyPassword)) {
    return abort(texts.error707);
  }
  if (!request.IgnoreCertificateErrors()) return abort(texts.securityFlagsFailed);
  if (!request.SetCookieEngine(!cookies.empty())) return abort(texts.error708);
  request.SetFollowRedirects(!options.noRedirect);
  request.SetAbandonCheck(options.abandoned);
  Text block = BuildRequestHeaders(options.extraHeaders, cookies, options.method,
                                   options.addDefaultHeaders, options.normalizeHeaderNames);
  if (!request.SetHeaderBlock(block)) return fail(texts.error710);

  switch (request.Perform()) {
    case ExchangeFailure::kNotSent:
      return fail(texts.error711);
    case ExchangeFailure::kNoResponse:
      return fail(texts.error712);
    case ExchangeFailure::kBodyCut:
      // What arrived is kept; the status text below replaces the message.
      setStatus(texts.error713);
      break;
    case ExchangeFailure::kNone:
      break;
    case ExchangeFailure::kAbandoned:
      return Text();
  }

  Text result;
  const Text& headers = request.rawHeaders();
  if (!headers.empty()) {
    if (options.responseHeaders != nullptr) *options.responseHeaders = headers;
    setStatus(StatusTextOf(headers));
    for (const Text& line : SplitText(headers, "\r\n")) {
      CollectSetCookies(line, newCookies);
      if (StartsWithText(line, kLocationPrefix, /*ignoreCase=*/true) &&
          options.location != nullptr) {
        *options.location = line.substr(kLocationPrefix.size());
      }
      ProcessPendingMessages();
    }
    TidyNewCookies(newCookies);
    if (options.mergeCookies && !cookies.empty()) newCookies = MergeCookies(cookies, newCookies);
    if (options.responseBytes != nullptr) *options.responseBytes = request.body();
    result = DecodeResponseText(request.body(), regex);
  }
  ProcessPendingMessages();
  return result;
}

}  // namespace tw
