// The hops over WinHTTP. Every hop is one request handle; WinHTTP's own
// redirect following and cookie handling are switched off, since redirects,
// cookies across hops, credentials and time limits are the transfer's rules
// (transfer.cpp, time_limits.h), the same on every transport.
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

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "net/hop_transport.h"
#include "net/trust.h"
#include "net/winhttp_trust.h"
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

struct HandleCloser {
  void operator()(void* h) const { WinHttpCloseHandle(h); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// What the steps of one transfer and WinHTTP's callbacks share.
struct Completion {
  std::mutex mutex;
  std::condition_variable changed;
  bool woken = false;
  HopPhase phase = HopPhase::kResolving;  // how far the sending step has got
  uint64_t generation = 0;                // of the step being waited for
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

  void Reached(uint64_t of, HopPhase next) {
    {
      std::lock_guard guard(mutex);
      if (of != generation || next <= phase) return;
      phase = next;
    }
    changed.notify_all();
  }
};

// Belongs to one request handle: WinHTTP's callbacks reach it through the
// handle's context, and it lives until the handle is reported closed.
struct HopRecord {
  std::shared_ptr<Completion> completion;
  Bytes body;                // the request body, read by a pending send
  std::vector<char> buffer;  // filled by a pending read
  uint64_t generation = 0;
  // Set for a secure hop that trusts TARNWICK_CA_FILE: the server's chain is
  // checked when the handshake is done, before the request goes out.
  std::string caFile;
  std::string host;
  std::string rejected;  // why the certificate was refused
  // Whoever closes the handle first (the calling thread, or the callback that
  // refused the certificate) does it alone, holding no lock while WinHTTP
  // closes it.
  std::atomic<bool> closed{false};
  HINTERNET handle = nullptr;

  void Close() {
    if (!closed.exchange(true)) WinHttpCloseHandle(handle);
  }
};

// The server's certificate, judged against the extra trust file; a refused
// one ends the request before a byte of it is sent.
void CheckServerCertificate(HINTERNET h, HopRecord& hop) {
  PCCERT_CONTEXT certificate = nullptr;
  DWORD size = sizeof certificate;
  std::string why = "no server certificate";
  bool trusted = false;
  if (WinHttpQueryOption(h, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &certificate, &size) &&
      certificate != nullptr) {
    trusted = ServerCertificateTrusted(certificate, hop.host, hop.caFile, &why);
    CertFreeCertificateContext(certificate);
  }
  if (trusted) return;
  hop.rejected = why;
  hop.completion->Complete(hop.generation, ERROR_WINHTTP_SECURE_INVALID_CA, 0);
  hop.Close();
}

void CALLBACK OnStatus(HINTERNET h, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
  if (context == 0) return;
  auto* holder = reinterpret_cast<std::shared_ptr<HopRecord>*>(context);
  if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
    delete holder;
    return;
  }
  HopRecord& hop = **holder;
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_NAME_RESOLVED:
      hop.completion->Reached(hop.generation, HopPhase::kConnecting);
      break;
    case WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER:
      hop.completion->Reached(hop.generation, HopPhase::kSending);
      break;
    case WINHTTP_CALLBACK_STATUS_SENDING_REQUEST:
      if (!hop.caFile.empty()) CheckServerCertificate(h, hop);
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_SENT:
      hop.completion->Reached(hop.generation, HopPhase::kWaiting);
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

class WinHttpHops : public HopTransport {
 public:
  explicit WinHttpHops(const Request& request)
      : request_(request), extraCaFile_(ExtraCaFile()), clock_(request.timeouts) {}
  ~WinHttpHops() override { CloseRequest(); }

  bool Open() override;
  TransferEnd RunHop(const HopRequest& hop, HopEvents& events) override;
  void Wake() override;
  bool Woken() override;
  const std::string& detail() const override { return detail_; }

 private:
  void CloseRequest() {
    if (hop_) hop_->Close();
    hop_.reset();
    connection_.reset();
  }
  // Starts waiting for a new step; call before issuing it.
  void Arm(HopPhase phase);
  // Waits for the step issued after Arm(): kComplete with `count` set, the
  // failure the step's error stands for, kWoken, or the end the hop's time
  // limits came to, whether or not WinHTTP's own time-out fired first.
  TransferEnd Await(const char* step, TransferEnd onError, DWORD* count = nullptr);
  // The end a failed step stands for: `as`, the clock's end for a time-out,
  // or one of the connection failures.
  TransferEnd Failed(const char* step, DWORD error, TransferEnd as);
  TransferEnd Send(const HopRequest& hop);
  TransferEnd ReadHead(HopEvents& events);
  TransferEnd ReadBody(HopEvents& events);

  const Request& request_;
  const std::string extraCaFile_;  // read once, so every hop trusts the same
  std::string detail_;
  std::shared_ptr<Completion> completion_ = std::make_shared<Completion>();
  Handle session_;
  Handle connection_;
  std::shared_ptr<HopRecord> hop_;  // the hop's request handle and what it owns
  HopClock clock_;
  ResponseHead head_;
};

}  // namespace

bool PrepareNetwork() {
  static const bool ready = WinHttpCheckPlatform() != FALSE;
  return ready;
}

std::unique_ptr<HopTransport> HopTransport::Make(const Request& request) {
  return std::make_unique<WinHttpHops>(request);
}

namespace {

void WinHttpHops::Wake() {
  {
    std::lock_guard guard(completion_->mutex);
    completion_->woken = true;
  }
  completion_->changed.notify_all();
}

bool WinHttpHops::Woken() {
  std::lock_guard guard(completion_->mutex);
  return completion_->woken;
}

void WinHttpHops::Arm(HopPhase phase) {
  std::lock_guard guard(completion_->mutex);
  hop_->generation = ++completion_->generation;
  completion_->done = false;
  completion_->error = 0;
  completion_->count = 0;
  completion_->phase = phase;
}

TransferEnd WinHttpHops::Await(const char* step, TransferEnd onError, DWORD* count) {
  const auto interval =
      std::chrono::milliseconds(request_.pollIntervalMs > 0 ? request_.pollIntervalMs : 1000);
  std::unique_lock lock(completion_->mutex);
  for (;;) {
    if (completion_->woken) return TransferEnd::kWoken;
    clock_.Enter(completion_->phase);
    if (completion_->done) break;
    if (std::optional<TransferEnd> late = clock_.Expired()) {
      detail_ = std::string(step) + ": " + clock_.detail();
      return *late;
    }
    const auto wait = std::min<int64_t>(interval.count(), clock_.MsToDeadline());
    completion_->changed.wait_for(lock, std::chrono::milliseconds(wait));
    // The caller's poll runs without the completion's lock.
    if (request_.poll && !completion_->done && !completion_->woken) {
      lock.unlock();
      const bool stop = request_.poll();
      lock.lock();
      if (stop) return TransferEnd::kWoken;
    }
  }
  const DWORD error = completion_->error;
  if (count != nullptr) *count = completion_->count;
  lock.unlock();
  if (error != 0) return Failed(step, error, onError);
  return TransferEnd::kComplete;
}

bool WinHttpHops::Open() {
  const std::wstring agent = Wide(request_.userAgent);
  const std::wstring proxy = Wide(request_.proxy);
  // No proxy: neither the system's nor one from the environment.
  session_.reset(WinHttpOpen(
      request_.userAgent.empty() ? nullptr : agent.c_str(),
      request_.proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
      request_.proxy.empty() ? WINHTTP_NO_PROXY_NAME : proxy.c_str(), WINHTTP_NO_PROXY_BYPASS,
      WINHTTP_FLAG_ASYNC));
  if (!session_) {
    detail_ = "WinHttpOpen failed: " + std::to_string(GetLastError());
    return false;
  }
  const Timeouts& t = request_.timeouts;
  if (!WinHttpSetTimeouts(session_.get(), Limit(t.resolveMs, true), Limit(t.connectMs, false),
                          Limit(t.sendMs, false), Limit(t.receiveMs, false))) {
    detail_ = "WinHttpSetTimeouts failed: " + std::to_string(GetLastError());
    return false;
  }
  return true;
}

TransferEnd WinHttpHops::Failed(const char* step, DWORD error, TransferEnd as) {
  if (hop_ && !hop_->rejected.empty()) {
    detail_ = "the server's certificate is not trusted: " + hop_->rejected;
    return TransferEnd::kCouldNotConnect;
  }
  if (error == ERROR_WINHTTP_OPERATION_CANCELLED || Woken()) return TransferEnd::kWoken;
  detail_ = std::string(step) + " failed: " + std::to_string(error);
  switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
    case kSocketTimeout:
      switch (clock_.phase()) {
        case HopPhase::kResolving:
        case HopPhase::kConnecting:
          return TransferEnd::kCouldNotConnect;
        case HopPhase::kSending:
          return as == TransferEnd::kCouldNotConnect ? as : TransferEnd::kNotSent;
        case HopPhase::kWaiting:
          return TransferEnd::kNoResponse;
        case HopPhase::kBody:
          return TransferEnd::kSilent;
      }
      return as;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
      return TransferEnd::kCouldNotConnect;
    default:
      return as;
  }
}

TransferEnd WinHttpHops::RunHop(const HopRequest& hop, HopEvents& events) {
  clock_ = HopClock(request_.timeouts);
  head_ = ResponseHead();
  TransferEnd end = Send(hop);
  if (end == TransferEnd::kComplete) end = ReadHead(events);
  if (end == TransferEnd::kComplete && hop.method != "HEAD") end = ReadBody(events);
  CloseRequest();
  return end;
}

TransferEnd WinHttpHops::Send(const HopRequest& hop) {
  const UrlParts& url = hop.url;
  connection_.reset(WinHttpConnect(session_.get(), Wide(url.host).c_str(), url.port, 0));
  if (!connection_) return Failed("WinHttpConnect", GetLastError(), TransferEnd::kFailed);
  // The object comes escaped already; WinHTTP is not to escape it again.
  const DWORD flags = WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY |
                      (url.secure ? WINHTTP_FLAG_SECURE : 0);
  HINTERNET h =
      WinHttpOpenRequest(connection_.get(), Wide(hop.method).c_str(), Wide(url.object).c_str(),
                         nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
  if (h == nullptr) return Failed("WinHttpOpenRequest", GetLastError(), TransferEnd::kFailed);
  hop_ = std::make_shared<HopRecord>();
  hop_->handle = h;
  hop_->completion = completion_;
  hop_->body = *hop.body;
  const bool checkCertificate = url.secure && !extraCaFile_.empty();
  if (checkCertificate) {
    hop_->caFile = extraCaFile_;
    hop_->host = url.host;
  }
  auto* holder = new std::shared_ptr<HopRecord>(hop_);
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
  // Only an unknown root is let through, and only to be judged against the
  // trust file before the request goes out (CheckServerCertificate).
  if (checkCertificate) {
    DWORD unknownRoot = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    if (!WinHttpSetOption(h, WINHTTP_OPTION_SECURITY_FLAGS, &unknownRoot, sizeof unknownRoot))
      return Failed("setting the security flags", GetLastError(), TransferEnd::kFailed);
  }
  const Credentials& serverAuth = request_.server;
  if (hop.withCredentials &&
      !WinHttpSetCredentials(h, WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC,
                             Wide(serverAuth.user).c_str(), Wide(serverAuth.password).c_str(),
                             nullptr)) {
    return Failed("setting the credentials", GetLastError(), TransferEnd::kFailed);
  }

  // Host and the user agent first, as the other transport sends them; WinHTTP
  // would put its own after the caller's lines (the session's agent is then
  // not added a second time).
  std::string block = "Host: " + url.Authority() + "\r\n";
  if (!request_.userAgent.empty()) block += "User-Agent: " + request_.userAgent + "\r\n";
  for (const std::string& line : hop.headerLines) block += line + "\r\n";
  // Proxy credentials go with the first request, as the other transport sends
  // them: WinHttpSetCredentials answers a proxy's challenge only, and not
  // everywhere (Wine's does not send them at all before one).
  const Credentials& proxyAuth = request_.proxyCredentials;
  if (!request_.proxy.empty() && !proxyAuth.user.empty() && !proxyAuth.password.empty())
    block +=
        "Proxy-Authorization: Basic " + Base64(proxyAuth.user + ":" + proxyAuth.password) + "\r\n";
  {
    const std::wstring wide = Wide(block);
    if (!WinHttpAddRequestHeaders(h, wide.c_str(), static_cast<DWORD>(wide.size()),
                                  WINHTTP_ADDREQ_FLAG_ADD)) {
      detail_ = "a request header line was refused";
      return TransferEnd::kFailed;
    }
  }

  void* data = hop_->body.empty() ? WINHTTP_NO_REQUEST_DATA : hop_->body.data();
  const auto size = static_cast<DWORD>(hop_->body.size());
  // A failure while the body goes out is a request that could not be sent;
  // without a body it can only have been the connect. Some WinHTTP builds
  // (Wine's) report the sending step complete only once the answer begins,
  // so the wait for the answer can fall into it.
  const TransferEnd sendFailure =
      hop_->body.empty() ? TransferEnd::kCouldNotConnect : TransferEnd::kNotSent;
  Arm(HopPhase::kResolving);
  if (!WinHttpSendRequest(h, WINHTTP_NO_ADDITIONAL_HEADERS, 0, data, size, size, context))
    return Failed("WinHttpSendRequest", GetLastError(), sendFailure);
  const TransferEnd end = Await("WinHttpSendRequest", sendFailure);
  if (end != TransferEnd::kComplete && clock_.phase() == HopPhase::kWaiting && end == sendFailure) {
    return TransferEnd::kNoResponse;
  }
  return end;
}

TransferEnd WinHttpHops::ReadHead(HopEvents& events) {
  HINTERNET h = hop_->handle;
  Arm(HopPhase::kWaiting);
  if (!WinHttpReceiveResponse(h, nullptr))
    return Failed("WinHttpReceiveResponse", GetLastError(), TransferEnd::kNoResponse);
  if (TransferEnd end = Await("WinHttpReceiveResponse", TransferEnd::kNoResponse);
      end != TransferEnd::kComplete)
    return end;

  DWORD status = 0;
  DWORD statusSize = sizeof status;
  WinHttpQueryHeaders(h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                      WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX);
  head_.status = static_cast<int>(status);
  DWORD bytes = 0;
  WinHttpQueryHeaders(h, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                      WINHTTP_NO_OUTPUT_BUFFER, &bytes, WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() == ERROR_INSUFFICIENT_BUFFER && bytes > 0) {
    std::wstring raw(bytes / sizeof(wchar_t) + 1, L'\0');
    if (WinHttpQueryHeaders(h, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                            raw.data(), &bytes, WINHTTP_NO_HEADER_INDEX)) {
      raw.resize(bytes / sizeof(wchar_t));
      head_.rawHeaders = Narrow(raw);
    }
  }
  clock_.Enter(HopPhase::kBody);
  if (std::optional<TransferEnd> end = events.OnHead(head_)) return *end;
  return TransferEnd::kComplete;
}

TransferEnd WinHttpHops::ReadBody(HopEvents& events) {
  HINTERNET h = hop_->handle;
  int64_t received = 0;
  for (;;) {
    DWORD available = 0;
    Arm(HopPhase::kBody);
    if (!WinHttpQueryDataAvailable(h, nullptr))
      return Failed("WinHttpQueryDataAvailable", GetLastError(), TransferEnd::kDropped);
    TransferEnd end = Await("WinHttpQueryDataAvailable", TransferEnd::kDropped, &available);
    if (end != TransferEnd::kComplete) return end;
    if (available == 0) break;
    // Each read takes exactly what is ready.
    std::vector<char>& buffer = hop_->buffer;
    if (buffer.size() < available) buffer.resize(available);
    DWORD read = 0;
    Arm(HopPhase::kBody);
    if (!WinHttpReadData(h, buffer.data(), available, nullptr))
      return Failed("WinHttpReadData", GetLastError(), TransferEnd::kDropped);
    end = Await("WinHttpReadData", TransferEnd::kDropped, &read);
    if (end != TransferEnd::kComplete) return end;
    if (read == 0) break;
    clock_.Body(read);
    received += read;
    if (std::optional<TransferEnd> stop = events.OnBody(buffer.data(), read)) return *stop;
  }
  // A connection that closed before the announced length is a broken body,
  // however the platform reports its end.
  if (head_.contentLength && received < *head_.contentLength) {
    detail_ = "the connection closed before the announced length";
    return TransferEnd::kDropped;
  }
  return TransferEnd::kComplete;
}

}  // namespace
}  // namespace tw::net
