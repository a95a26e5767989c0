#include "web/http_fetch.h"

#include <functional>
#include <optional>

#include "net/transfer.h"
#include "script/regex_object.h"
#include "text/message_pump.h"
#include "text/system_texts.h"
#include "web/cookies.h"
#include "web/request_headers.h"
#include "web/response_decoding.h"

namespace tw {
namespace {

constexpr int32_t kDefaultTimeoutSeconds = 30;
constexpr std::size_t kStatusTextStart = 9;  // after "HTTP/1.1 "
constexpr std::string_view kLocationPrefix = "Location: ";
// The pages and answers read here are a few KiB; a body beyond this is not
// one of them and is not kept.
constexpr int64_t kMaxBodyBytes = int64_t{64} * 1024 * 1024;
constexpr int32_t kPumpIntervalMs = 25;  // how long the UI thread may go without pumping

constexpr const char* kMethodNames[] = {"GET",     "POST",   "HEAD",  "PUT",
                                        "OPTIONS", "DELETE", "TRACE", "CONNECT"};

// The status line from its tenth character to its CRLF: "200 OK".
Text StatusTextOf(const Text& headers) {
  if (headers.size() <= kStatusTextStart) return Text();
  std::size_t end = FindText(headers, "\r\n", kStatusTextStart);
  return end == kNotFound ? Text() : headers.substr(kStatusTextStart, end - kStatusTextStart);
}

// The block's lines; nullopt when one of them is no header line.
std::optional<std::vector<std::string>> HeaderLines(std::string_view block) {
  std::vector<std::string> lines;
  for (const Text& line : SplitText(block, "\r\n")) {
    if (line.empty()) continue;
    std::size_t colon = FindText(line, ":");
    if (colon == kNotFound || colon == 0) return std::nullopt;
    lines.push_back(line);
  }
  return lines;
}

class KeepBody : public net::ResponseSink {
 public:
  bool OnResponse(const net::ResponseHead& head) override {
    head_ = head;
    return true;
  }
  bool OnBody(const char* data, size_t size) override {
    body_.insert(body_.end(), data, data + size);
    return true;
  }
  const std::optional<net::ResponseHead>& head() const { return head_; }
  Bytes& body() { return body_; }

 private:
  std::optional<net::ResponseHead> head_;
  Bytes body_;
};

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
  auto abort = [&](const Text& message) {
    setStatus(message);
    return Text();
  };
  auto fail = [&](const Text& message) {
    setStatus(message);
    ProcessPendingMessages();
    return Text();
  };

  if (!net::PrepareNetwork()) return abort(texts.error700);
  std::optional<net::UrlParts> parts = net::SplitUrl(url);
  if (!parts) return fail(texts.error701);

  net::Request request;
  request.url = *parts;
  request.method = options.method >= 0 && options.method < 8 ? kMethodNames[options.method] : "GET";
  request.body = !options.postBytes.empty()
                     ? options.postBytes
                     : Bytes(options.postText.begin(), options.postText.end());
  int32_t seconds = options.timeoutSeconds > 0 ? options.timeoutSeconds : kDefaultTimeoutSeconds;
  request.timeouts = net::Timeouts::All(seconds * 1000);
  request.proxy = options.proxy;
  request.proxyCredentials = {options.proxyUser, options.proxyPassword};
  request.server = {options.userName, options.password};
  request.carryCookies = !cookies.empty();
  request.followRedirects = !options.noRedirect;
  request.maxBodyBytes = kMaxBodyBytes;
  // Between waits the window's messages run (on the UI thread), then the
  // caller may abandon the request.
  bool onUiThread = IsUiThread();
  std::function<bool()> abandoned = options.abandoned;
  if (onUiThread || abandoned) {
    request.poll = [onUiThread, abandoned] {
      if (onUiThread) ProcessPendingMessages();
      return abandoned && abandoned();
    };
    request.pollIntervalMs = kPumpIntervalMs;
  }
  Text block = BuildRequestHeaders(options.extraHeaders, cookies, options.method,
                                   options.addDefaultHeaders, options.normalizeHeaderNames);
  std::optional<std::vector<std::string>> lines = HeaderLines(block);
  if (!lines) return fail(texts.error710);
  request.headerLines = std::move(*lines);

  net::Transfer transfer(std::move(request));
  KeepBody sink;
  bool keepBody = true;
  switch (transfer.Run(sink)) {
    case net::TransferEnd::kComplete:
      break;
    case net::TransferEnd::kFailed:
      return fail(texts.error704);
    case net::TransferEnd::kCouldNotConnect:  // a certificate that is not trusted too
    case net::TransferEnd::kNotSent:
      return fail(texts.error711);
    case net::TransferEnd::kDropped:
    case net::TransferEnd::kSilent:
    case net::TransferEnd::kOverrun:
      // What arrived is kept; the status text below replaces the message.
      setStatus(texts.error713);
      break;
    case net::TransferEnd::kTooLarge:
      // The head is delivered, the body is not, and the message stays.
      keepBody = false;
      break;
    case net::TransferEnd::kWoken:
      return Text();  // abandoned: no output is written
    default:          // no response, a head whose length cannot be trusted, too many redirects
      return fail(texts.error712);
  }
  if (!sink.head()) return fail(texts.error712);

  Text result;
  const Text& headers = sink.head()->rawHeaders;
  if (options.responseHeaders != nullptr) *options.responseHeaders = headers;
  setStatus(keepBody ? StatusTextOf(headers) : texts.error713);
  for (const Text& line : SplitText(headers, "\r\n")) {
    CollectSetCookies(line, newCookies);
    if (StartsWithText(line, kLocationPrefix, /*ignoreCase=*/true) && options.location != nullptr) {
      *options.location = line.substr(kLocationPrefix.size());
    }
    ProcessPendingMessages();
  }
  TidyNewCookies(newCookies);
  if (options.mergeCookies && !cookies.empty()) newCookies = MergeCookies(cookies, newCookies);
  if (keepBody) {
    if (options.responseBytes != nullptr) *options.responseBytes = sink.body();
    result = DecodeResponseText(sink.body(), regex);
  }
  ProcessPendingMessages();
  return result;
}

}  // namespace tw
