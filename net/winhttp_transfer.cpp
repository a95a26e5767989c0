// The transfer over WinHTTP. Every hop is one request handle; redirects,
// cookies across hops and credentials are handled here (WinHTTP's own redirect
// following and cookie handling are switched off), by the same rules as on the
// other transport, so both send the same requests.
//
// The calling thread runs the exchange step by step, as a synchronous caller
// would, but each step is issued in WinHTTP's asynchronous mode and then
// waited for. That wait is what Wake() ends: the thread stops waiting, closes
// the request handle, and WinHTTP cancels whatever was under way (name
// lookup, connect, TLS handshake, send, waiting for headers, reading). A
// blocking call would not do: closing its handle from another thread does not
// end it everywhere (Wine lets it run into its time-out). No thread is killed.
// What a pending step may still touch (its buffers, the completion record)
// belongs to the handle and goes when WinHTTP reports the handle closed.
#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "net/content_length.h"
#include "net/hop_cookies.h"
#include "net/redirect_rules.h"
#include "net/transfer.h"
#include "text/convert.h"

namespace tw::net {
namespace {

std::wstring Wide(std::string_view gbk) {
  const std::u16string utf16 = GbkToUtf16(gbk);
  return std::wstring(utf16.begin(), utf16.end());
}

Text Narrow(const std::wstring& wide) {
  return Utf16ToGbk(std::u16string(wide.begin(), wide.end()));
}

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 2]);
    out += kDigits[(n >> 18) & 63];
    out += kDigits[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
  }
  return out;
}

// WSAETIMEDOUT: Wine's WinHTTP passes a socket's time-out on as it is.
constexpr DWORD kSocketTimeout = 10060;

// WinHTTP takes 0 for an unlimited name lookup and -1 for the other waits.
int Limit(int32_t ms, bool resolve) { return ms > 0 ? ms : (resolve ? 0 : -1); }

// Certificate errors a transfer that does not verify certificates ignores.
constexpr DWORD kIgnoredCertificateErrors =
    SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
    SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;

struct HandleCloser {
  void operator()(void* h) const { WinHttpCloseHandle(h); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

}  // namespace

bool PrepareNetwork() {
  static const bool ready = WinHttpCheckPlatform() != FALSE;
  return ready;
}

// Only test programs call this, to trust the certificate of a server they
// started. WinHTTP takes no trust file: the system's certificate store
// decides, so such programs turn verification off for their own requests.
void TrustOnlyCertificateFile(const std::string&) {}

namespace {

using Clock = std::chrono::steady_clock;

// How far the sending step has got, as WinHTTP reports it. Each phase has
// its own time limit.
enum class SendPhase { kResolving, kConnecting, kSending, kWaiting };

// What the steps of one transfer and WinHTTP's callbacks share.
struct Completion {
  std::mutex mutex;
  std::condition_variable changed;
  bool woken = false;
  SendPhase phase = SendPhase::kResolving;
  Clock::time_point phaseStart = Clock::now();
  uint64_t generation = 0;  // of the step being waited for
  bool done = false;
  DWORD error = 0;
  DWORD count = 0;

  void Complete(uint64_t of, DWORD e, DWORD n) {
    {
      std::lock_guard guard(mutex);
      if (of != generation || done) return;  // a late report of a step given up
      done = true;
      error = e;
      count = n;
    }
    changed.notify_all();
  }

  void Reached(uint64_t of, SendPhase next) {
    std::lock_guard guard(mutex);
    if (of != generation || next <= phase) return;
    phase = next;
    phaseStart = Clock::now();
  }
};

// Belongs to one request handle: WinHTTP's callbacks reach it through the
// handle's context, and it lives until the handle is reported closed.
struct HopRecord {
  std::shared_ptr<Completion> completion;
  Bytes body;                // the request body, read by a pending send
  std::vector<char> buffer;  // filled by a pending read
  uint64_t generation = 0;
};

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
  if (context == 0) return;
  auto* holder = reinterpret_cast<std::shared_ptr<HopRecord>*>(context);
  if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
    delete holder;
    return;
  }
  HopRecord& hop = **holder;
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_NAME_RESOLVED:
      hop.completion->Reached(hop.generation, SendPhase::kConnecting);
      break;
    case WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER:
      hop.completion->Reached(hop.generation, SendPhase::kSending);
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_SENT:
      hop.completion->Reached(hop.generation, SendPhase::kWaiting);
      break;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
      hop.completion->Complete(hop.generation, 0, 0);
      break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
      hop.completion->Complete(hop.generation, 0, *static_cast<DWORD*>(info));
      break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      hop.completion->Complete(hop.generation, 0, length);
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: {
      const DWORD error = static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError;
      hop.completion->Complete(hop.generation, error != 0 ? error : ERROR_WINHTTP_INTERNAL_ERROR,
                               0);
      break;
    }
    default:
      break;
  }
}

constexpr DWORD kCallbackEvents =
    WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES |
    WINHTTP_CALLBACK_FLAG_RESOLVE_NAME | WINHTTP_CALLBACK_FLAG_CONNECT_TO_SERVER |
    WINHTTP_CALLBACK_FLAG_SEND_REQUEST;

}  // namespace

struct Transfer::State {
  explicit State(Request r) : request(std::move(r)) {}
  ~State() { CloseRequest(); }

  Request request;
  std::string detail;
  int32_t redirects = 0;
  HopCookies cookies;
  std::shared_ptr<Completion> completion = std::make_shared<Completion>();

  Handle session;
  Handle connection;
  HINTERNET current = nullptr;  // the hop's request handle; the calling thread's alone
  std::shared_ptr<HopRecord> hop;
  UrlParts url;
  std::string method;
  Bytes body;
  ResponseHead head;

  bool Woken() {
    std::lock_guard guard(completion->mutex);
    return completion->woken;
  }

  void CloseRequest() {
    if (current != nullptr) WinHttpCloseHandle(current);
    current = nullptr;
    hop.reset();
    connection.reset();
  }

  // Starts waiting for a new step; call before issuing it.
  void Arm() {
    std::lock_guard guard(completion->mutex);
    hop->generation = ++completion->generation;
    completion->done = false;
    completion->error = 0;
    completion->count = 0;
    completion->phase = SendPhase::kResolving;
    completion->phaseStart = Clock::now();
  }

  // Waits for the step issued after Arm(). kComplete with `count` set, the
  // failure the step's error stands for, or kWoken.
  // A step that waits for the server gives up after `limitMs` (0: never)
  // as `onTimeout`, whether or not WinHTTP's own time-out fired first.
  TransferEnd Await(const char* step, TransferEnd onError, TransferEnd onTimeout,
                    DWORD* count = nullptr, int32_t limitMs = 0);
  // The sending step, whose limit and failure follow the phase it is in:
  // some WinHTTP builds (Wine's) report it complete only once the answer
  // begins, so the wait for the answer can fall into it.
  TransferEnd AwaitSend(TransferEnd sendFailure);
  // Between two waits of a step still running: asks the caller's poll,
  // without the completion's lock, whether to stop.
  bool PollSaysStop(std::unique_lock<std::mutex>& lock) {
    if (!request.poll || completion->done || completion->woken) return false;
    lock.unlock();
    const bool stop = request.poll();
    lock.lock();
    return stop;
  }

  bool OpenSession();
  TransferEnd RunHop(std::optional<Hop>* next);
  // The end a failed step stands for: `as`, `onTimeout` for a time-out, or
  // one of the connection failures.
  TransferEnd Failed(const char* step, DWORD error, TransferEnd as, TransferEnd onTimeout);
  TransferEnd Failed(const char* step, DWORD error, TransferEnd as) {
    return Failed(step, error, as, as);
  }
  TransferEnd ReadBodyInto(ResponseSink& sink);
};

Transfer::Transfer(Request request) : state_(std::make_unique<State>(std::move(request))) {}
Transfer::~Transfer() = default;

void Transfer::Wake() {
  Completion& c = *state_->completion;
  {
    std::lock_guard guard(c.mutex);
    c.woken = true;
  }
  c.changed.notify_all();
}

int32_t Transfer::redirectsFollowed() const { return state_->redirects; }
const std::string& Transfer::detail() const { return state_->detail; }

TransferEnd Transfer::State::AwaitSend(TransferEnd sendFailure) {
  const auto interval =
      std::chrono::milliseconds(request.pollIntervalMs > 0 ? request.pollIntervalMs : 1000);
  const Timeouts& t = request.timeouts;
  std::unique_lock lock(completion->mutex);
  for (;;) {
    if (completion->woken) return TransferEnd::kWoken;
    if (completion->done) break;
    int32_t limit = 0;
    TransferEnd late = TransferEnd::kCouldNotConnect;
    switch (completion->phase) {
      case SendPhase::kResolving:
        limit = t.resolveMs;
        break;
      case SendPhase::kConnecting:
        limit = t.connectMs;
        break;
      case SendPhase::kSending:
        limit = t.sendMs;
        late = TransferEnd::kNotSent;
        break;
      case SendPhase::kWaiting:
        limit = t.receiveMs;
        late = TransferEnd::kNoResponse;
        break;
    }
    auto wakeAt = Clock::now() + interval;
    if (limit > 0) {
      const auto deadline = completion->phaseStart + std::chrono::milliseconds(limit);
      if (Clock::now() >= deadline) {
        detail = "WinHttpSendRequest timed out";
        return late;
      }
      wakeAt = std::min(wakeAt, deadline);
    }
    completion->changed.wait_until(lock, wakeAt);
    if (PollSaysStop(lock)) return TransferEnd::kWoken;
  }
  const DWORD error = completion->error;
  const bool waiting = completion->phase == SendPhase::kWaiting;
  lock.unlock();
  if (error == 0) return TransferEnd::kComplete;
  return Failed("WinHttpSendRequest", error, waiting ? TransferEnd::kNoResponse : sendFailure);
}

TransferEnd Transfer::State::Await(const char* step, TransferEnd onError, TransferEnd onTimeout,
                                   DWORD* count, int32_t limitMs) {
  const auto interval =
      std::chrono::milliseconds(request.pollIntervalMs > 0 ? request.pollIntervalMs : 1000);
  const auto deadline =
      limitMs > 0 ? Clock::now() + std::chrono::milliseconds(limitMs) : Clock::time_point::max();
  std::unique_lock lock(completion->mutex);
  for (;;) {
    if (completion->woken) return TransferEnd::kWoken;
    if (completion->done) break;
    if (Clock::now() >= deadline) {
      detail = std::string(step) + " timed out";
      return onTimeout;
    }
    completion->changed.wait_until(lock, std::min(deadline, Clock::now() + interval));
    if (PollSaysStop(lock)) return TransferEnd::kWoken;
  }
  const DWORD error = completion->error;
  if (count != nullptr) *count = completion->count;
  lock.unlock();
  if (error != 0) return Failed(step, error, onError, onTimeout);
  return TransferEnd::kComplete;
}

TransferEnd Transfer::Run(ResponseSink& sink) {
  State& s = *state_;
  if (!PrepareNetwork()) {
    s.detail = "WinHTTP is not available";
    return TransferEnd::kFailed;
  }
  if (!s.OpenSession()) return TransferEnd::kFailed;
  s.url = s.request.url;
  s.method = s.request.method.empty() ? "GET" : s.request.method;
  s.body = s.request.body;
  for (;;) {
    if (s.Woken() || (s.request.poll && s.request.poll())) return TransferEnd::kWoken;
    std::optional<Hop> next;
    TransferEnd end = s.RunHop(&next);
    if (end != TransferEnd::kComplete) {
      s.CloseRequest();
      return end;
    }
    if (!next) {
      // The final response: hand it on with its body.
      s.head.contentLength = ParseContentLength(s.head.Header("Content-Length"));
      if (!sink.OnResponse(s.head)) end = TransferEnd::kRefusedBySink;
      const int64_t cap = s.request.maxBodyBytes;
      if (end == TransferEnd::kComplete && cap >= 0 && s.head.contentLength &&
          *s.head.contentLength > cap && s.method != "HEAD") {
        end = TransferEnd::kTooLarge;
      }
      if (end == TransferEnd::kComplete && s.method != "HEAD") end = s.ReadBodyInto(sink);
      s.CloseRequest();
      return end;
    }
    s.CloseRequest();
    if (s.redirects >= kMaxRedirects) return TransferEnd::kTooManyRedirects;
    ++s.redirects;
    if (s.request.carryCookies) s.cookies.Collect(s.url, s.head.rawHeaders);
    if (!next->keepBody) s.body.clear();
    s.method = next->method;
    s.url = next->url;
  }
}

bool Transfer::State::OpenSession() {
  const std::wstring agent = Wide(request.userAgent);
  const std::wstring proxy = Wide(request.proxy);
  // No proxy: neither the system's nor one from the environment.
  session.reset(WinHttpOpen(
      request.userAgent.empty() ? nullptr : agent.c_str(),
      request.proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
      request.proxy.empty() ? WINHTTP_NO_PROXY_NAME : proxy.c_str(), WINHTTP_NO_PROXY_BYPASS,
      WINHTTP_FLAG_ASYNC));
  if (!session) {
    detail = "WinHttpOpen failed: " + std::to_string(GetLastError());
    return false;
  }
  const Timeouts& t = request.timeouts;
  if (!WinHttpSetTimeouts(session.get(), Limit(t.resolveMs, true), Limit(t.connectMs, false),
                          Limit(t.sendMs, false), Limit(t.receiveMs, false))) {
    detail = "WinHttpSetTimeouts failed: " + std::to_string(GetLastError());
    return false;
  }
  return true;
}

TransferEnd Transfer::State::Failed(const char* step, DWORD error, TransferEnd as,
                                    TransferEnd onTimeout) {
  if (error == ERROR_WINHTTP_OPERATION_CANCELLED || Woken()) return TransferEnd::kWoken;
  detail = std::string(step) + " failed: " + std::to_string(error);
  switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
    case kSocketTimeout:
      return onTimeout;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
      return TransferEnd::kCouldNotConnect;
    default:
      return as;
  }
}

TransferEnd Transfer::State::RunHop(std::optional<Hop>* next) {
  head = ResponseHead();
  connection.reset(WinHttpConnect(session.get(), Wide(url.host).c_str(), url.port, 0));
  if (!connection) return Failed("WinHttpConnect", GetLastError(), TransferEnd::kFailed);
  // The object comes escaped already; WinHTTP is not to escape it again.
  const DWORD flags = WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY |
                      (url.secure ? WINHTTP_FLAG_SECURE : 0);
  current = WinHttpOpenRequest(connection.get(), Wide(method).c_str(), Wide(url.object).c_str(),
                               nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
  if (current == nullptr) return Failed("WinHttpOpenRequest", GetLastError(), TransferEnd::kFailed);
  HINTERNET h = current;
  hop = std::make_shared<HopRecord>();
  hop->completion = completion;
  hop->body = body;
  auto* holder = new std::shared_ptr<HopRecord>(hop);
  DWORD_PTR context = reinterpret_cast<DWORD_PTR>(holder);
  if (WinHttpSetStatusCallback(h, &OnStatus, kCallbackEvents, 0) ==
          WINHTTP_INVALID_STATUS_CALLBACK ||
      !WinHttpSetOption(h, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context)) {
    delete holder;  // the handle never got it
    return Failed("setting the status callback", GetLastError(), TransferEnd::kFailed);
  }

  DWORD off = WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_REDIRECTS;
  if (!WinHttpSetOption(h, WINHTTP_OPTION_DISABLE_FEATURE, &off, sizeof off))
    return Failed("disabling cookies and redirects", GetLastError(), TransferEnd::kFailed);
  if (!request.verifyCertificates) {
    DWORD ignore = kIgnoredCertificateErrors;
    if (!WinHttpSetOption(h, WINHTTP_OPTION_SECURITY_FLAGS, &ignore, sizeof ignore))
      return Failed("setting the security flags", GetLastError(), TransferEnd::kFailed);
  }
  // Basic credentials go to the first host only.
  const Credentials& serverAuth = request.server;
  if (!serverAuth.user.empty() && !serverAuth.password.empty() && url.host == request.url.host &&
      !WinHttpSetCredentials(h, WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC,
                             Wide(serverAuth.user).c_str(), Wide(serverAuth.password).c_str(),
                             nullptr)) {
    return Failed("setting the credentials", GetLastError(), TransferEnd::kFailed);
  }

  const std::vector<std::string> lines =
      request.carryCookies ? cookies.Apply(request.headerLines, url) : request.headerLines;
  // Host and the user agent first, as the other transport sends them; WinHTTP
  // would put its own after the caller's lines (the session's agent is then
  // not added a second time).
  std::string block = "Host: " + url.Authority() + "\r\n";
  if (!request.userAgent.empty()) block += "User-Agent: " + request.userAgent + "\r\n";
  for (const std::string& line : lines) block += line + "\r\n";
  // Proxy credentials go with the first request, as the other transport sends
  // them: WinHttpSetCredentials answers a proxy's challenge only, and not
  // everywhere (Wine's does not send them at all before one).
  const Credentials& proxyAuth = request.proxyCredentials;
  if (!request.proxy.empty() && !proxyAuth.user.empty() && !proxyAuth.password.empty())
    block +=
        "Proxy-Authorization: Basic " + Base64(proxyAuth.user + ":" + proxyAuth.password) + "\r\n";
  {
    const std::wstring wide = Wide(block);
    if (!WinHttpAddRequestHeaders(h, wide.c_str(), static_cast<DWORD>(wide.size()),
                                  WINHTTP_ADDREQ_FLAG_ADD)) {
      detail = "a request header line was refused";
      return TransferEnd::kFailed;
    }
  }

  void* data = hop->body.empty() ? WINHTTP_NO_REQUEST_DATA : hop->body.data();
  const auto size = static_cast<DWORD>(hop->body.size());
  // A time-out while the body goes out is a request that could not be sent;
  // without a body it can only have been the connect.
  const TransferEnd sendFailure =
      hop->body.empty() ? TransferEnd::kCouldNotConnect : TransferEnd::kNotSent;
  Arm();
  if (!WinHttpSendRequest(h, WINHTTP_NO_ADDITIONAL_HEADERS, 0, data, size, size, context))
    return Failed("WinHttpSendRequest", GetLastError(), sendFailure);
  if (TransferEnd end = AwaitSend(sendFailure); end != TransferEnd::kComplete) return end;
  Arm();
  if (!WinHttpReceiveResponse(h, nullptr))
    return Failed("WinHttpReceiveResponse", GetLastError(), TransferEnd::kNoResponse);
  if (TransferEnd end = Await("WinHttpReceiveResponse", TransferEnd::kNoResponse,
                              TransferEnd::kNoResponse, nullptr, request.timeouts.receiveMs);
      end != TransferEnd::kComplete)
    return end;

  DWORD status = 0;
  DWORD statusSize = sizeof status;
  WinHttpQueryHeaders(h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                      WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX);
  head.status = static_cast<int>(status);
  DWORD bytes = 0;
  WinHttpQueryHeaders(h, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                      WINHTTP_NO_OUTPUT_BUFFER, &bytes, WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() == ERROR_INSUFFICIENT_BUFFER && bytes > 0) {
    std::wstring raw(bytes / sizeof(wchar_t) + 1, L'\0');
    if (WinHttpQueryHeaders(h, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                            raw.data(), &bytes, WINHTTP_NO_HEADER_INDEX)) {
      raw.resize(bytes / sizeof(wchar_t));
      head.rawHeaders = Narrow(raw);
    }
  }
  if (request.followRedirects) *next = NextHop(url, method, head.status, head.Header("Location"));
  return TransferEnd::kComplete;
}

TransferEnd Transfer::State::ReadBodyInto(ResponseSink& sink) {
  HINTERNET h = current;
  int64_t received = 0;
  const int64_t cap = request.maxBodyBytes;
  for (;;) {
    DWORD available = 0;
    Arm();
    if (!WinHttpQueryDataAvailable(h, nullptr)) {
      const DWORD error = GetLastError();
      return Failed("WinHttpQueryDataAvailable", error, TransferEnd::kDropped,
                    TransferEnd::kSilent);
    }
    TransferEnd end = Await("WinHttpQueryDataAvailable", TransferEnd::kDropped,
                            TransferEnd::kSilent, &available, request.timeouts.receiveMs);
    if (end != TransferEnd::kComplete) return end;
    if (available == 0) break;
    // Each read takes exactly what is ready.
    std::vector<char>& buffer = hop->buffer;
    if (buffer.size() < available) buffer.resize(available);
    DWORD read = 0;
    Arm();
    if (!WinHttpReadData(h, buffer.data(), available, nullptr)) {
      const DWORD error = GetLastError();
      return Failed("WinHttpReadData", error, TransferEnd::kDropped, TransferEnd::kSilent);
    }
    end = Await("WinHttpReadData", TransferEnd::kDropped, TransferEnd::kSilent, &read,
                request.timeouts.receiveMs);
    if (end != TransferEnd::kComplete) return end;
    if (read == 0) break;
    if (cap >= 0 && received + static_cast<int64_t>(read) > cap) {
      const auto allowed = static_cast<size_t>(cap - received);
      if (allowed > 0) sink.OnBody(buffer.data(), allowed);
      return TransferEnd::kTooLarge;
    }
    received += read;
    if (!sink.OnBody(buffer.data(), read)) return TransferEnd::kRefusedBySink;
  }
  // A connection that closed before the announced length is a broken body,
  // however the platform reports its end.
  if (head.contentLength && received < *head.contentLength) {
    detail = "the connection closed before the announced length";
    return TransferEnd::kDropped;
  }
  return TransferEnd::kComplete;
}

}  // namespace tw::net
