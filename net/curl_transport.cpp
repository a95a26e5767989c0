// The hops over libcurl. One easy handle serves every hop, so a redirect to
// the same server reuses its connection. libcurl follows no redirect, keeps no
// cookie and applies no time limit of its own: those rules are the transfer's
// (transfer.cpp, time_limits.h), the same on every transport.
#include <curl/curl.h>

#include <csignal>
#include <mutex>

#include "net/curl_tls.h"
#include "net/hop_transport.h"
#include "net/response_rules.h"
#include "net/trust.h"

namespace tw::net {
namespace {

// libcurl's receive buffer: large reads keep the system calls per byte low.
constexpr long kReceiveBufferBytes = 512L * 1024;
// libcurl's own connect limit is not used; this only keeps it out of the way.
constexpr long kNoLibraryLimitMs = 0x7FFFFFFF;
// Headers libcurl adds by itself; each is sent only when the request has it.
constexpr std::string_view kLibraryDefaults[] = {"Accept", "Expect", "Content-Type"};

class CurlHops : public HopTransport {
 public:
  explicit CurlHops(const Request& request)
      : request_(request), extraCaFile_(ExtraCaFile()), clock_(request.timeouts) {}
  ~CurlHops() override;

  bool Open() override;
  TransferEnd RunHop(const HopRequest& hop, HopEvents& events) override;
  void Wake() override;
  bool Woken() override;
  const std::string& detail() const override { return detail_; }

 private:
  bool PrepareHop(const HopRequest& hop);
  bool ApplyMethod(const HopRequest& hop);
  bool PollSaysStop() { return Woken() || (request_.poll && request_.poll()); }
  TransferEnd Judge(CURLcode code);
  bool HeadEnded();

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded);
  static int OnPrerequest(void* self, char*, char*, int, int);
  static int OnSocket(void* self, curl_socket_t, curlsocktype);

  const Request& request_;
  const std::string extraCaFile_;  // read once, so every hop trusts the same
  std::mutex wakeMutex_;           // guards multi_ against Wake from other threads
  bool woken_ = false;             // under wakeMutex_
  CURLM* multi_ = nullptr;
  CURL* easy_ = nullptr;
  curl_slist* headers_ = nullptr;
  std::string detail_;

  // The hop under way.
  const HopRequest* hop_ = nullptr;
  HopEvents* events_ = nullptr;
  HopClock clock_;
  curl_off_t bodySize_ = 0;
  curl_off_t uploaded_ = 0;
  ResponseHead head_;
  bool headDone_ = false;
  uint64_t pieces_ = 0;  // head lines and body pieces taken in, to tell a kick that took something
  std::optional<TransferEnd> abortedAs_;  // why a callback broke the hop off
};

}  // namespace

bool PrepareNetwork() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] {
    // Writing to a closed socket must be an error, not the end of the process.
    std::signal(SIGPIPE, SIG_IGN);
    // Never cleaned up: transfers may outlive the program's exit routine.
    ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  });
  return ready;
}

std::unique_ptr<HopTransport> HopTransport::Make(const Request& request) {
  return std::make_unique<CurlHops>(request);
}

namespace {

CurlHops::~CurlHops() {
  if (easy_ != nullptr) curl_easy_cleanup(easy_);
  {
    std::lock_guard guard(wakeMutex_);
    if (multi_ != nullptr) curl_multi_cleanup(multi_);
    multi_ = nullptr;
  }
  curl_slist_free_all(headers_);
}

void CurlHops::Wake() {
  std::lock_guard guard(wakeMutex_);
  woken_ = true;
  if (multi_ != nullptr) curl_multi_wakeup(multi_);
}

bool CurlHops::Woken() {
  std::lock_guard guard(wakeMutex_);
  return woken_;
}

bool CurlHops::Open() {
  {
    std::lock_guard guard(wakeMutex_);
    multi_ = curl_multi_init();
  }
  easy_ = curl_easy_init();
  if (multi_ == nullptr || easy_ == nullptr) {
    detail_ = "libcurl could not be set up";
    return false;
  }
  const Request& r = request_;
  CURL* h = easy_;
  bool ok = curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
            // Otherwise removing the handle during a name lookup waits for the
            // lookup, however long the resolver takes; the lookup thread is left to
            // end by itself instead.
            curl_easy_setopt(h, CURLOPT_QUICK_EXIT, 1L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)) ==
                CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kReceiveBufferBytes) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, kNoLibraryLimitMs) == CURLE_OK &&
            // "" also keeps libcurl from taking a proxy from the environment.
            curl_easy_setopt(h, CURLOPT_PROXY, r.proxy.c_str()) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &CurlHops::OnHeader) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_HEADERDATA, this) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CurlHops::OnBody) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_WRITEDATA, this) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &CurlHops::OnProgress) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_XFERINFODATA, this) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &CurlHops::OnPrerequest) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_PREREQDATA, this) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_SOCKOPTFUNCTION, &CurlHops::OnSocket) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_SOCKOPTDATA, this) == CURLE_OK &&
            PrepareTls(h, extraCaFile_);
  if (ok && !r.userAgent.empty()) {
    ok = curl_easy_setopt(h, CURLOPT_USERAGENT, r.userAgent.c_str()) == CURLE_OK;
  }
  if (ok && !r.proxyCredentials.user.empty() && !r.proxyCredentials.password.empty()) {
    ok =
        curl_easy_setopt(h, CURLOPT_PROXYAUTH, CURLAUTH_BASIC) == CURLE_OK &&
        curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, r.proxyCredentials.user.c_str()) == CURLE_OK &&
        curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, r.proxyCredentials.password.c_str()) == CURLE_OK;
  }
  if (!ok) detail_ = "libcurl could not be set up";
  return ok;
}

bool CurlHops::PrepareHop(const HopRequest& hop) {
  curl_slist_free_all(headers_);
  headers_ = nullptr;
  bool present[std::size(kLibraryDefaults)] = {};
  auto append = [this](const std::string& line) {
    curl_slist* grown = curl_slist_append(headers_, line.c_str());
    if (grown != nullptr) headers_ = grown;
    return grown != nullptr;
  };
  for (const std::string& line : hop.headerLines) {
    std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) {
      detail_ = "a request header line without a name";
      return false;
    }
    Text name = Trim(line.substr(0, colon));
    for (std::size_t i = 0; i < std::size(kLibraryDefaults); ++i) {
      present[i] = present[i] || EqualsIgnoreCase(name, kLibraryDefaults[i]);
    }
    // libcurl reads "Name:" as "do not send Name"; "Name;" sends it empty.
    if (!append(Trim(line.substr(colon + 1)).empty() ? name + ";" : line)) return false;
  }
  for (std::size_t i = 0; i < std::size(kLibraryDefaults); ++i) {
    if (!present[i] && !append(std::string(kLibraryDefaults[i]) + ":")) return false;
  }
  std::string whole = hop.url.Whole();
  bool ok = curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_) == CURLE_OK &&
            curl_easy_setopt(easy_, CURLOPT_URL, whole.c_str()) == CURLE_OK && ApplyMethod(hop);
  if (hop.withCredentials) {
    ok = ok && curl_easy_setopt(easy_, CURLOPT_HTTPAUTH, CURLAUTH_BASIC) == CURLE_OK &&
         curl_easy_setopt(easy_, CURLOPT_USERNAME, request_.server.user.c_str()) == CURLE_OK &&
         curl_easy_setopt(easy_, CURLOPT_PASSWORD, request_.server.password.c_str()) == CURLE_OK;
  } else {
    ok = ok && curl_easy_setopt(easy_, CURLOPT_USERNAME, nullptr) == CURLE_OK &&
         curl_easy_setopt(easy_, CURLOPT_PASSWORD, nullptr) == CURLE_OK &&
         curl_easy_setopt(easy_, CURLOPT_HTTPAUTH, CURLAUTH_NONE) == CURLE_OK;
  }
  return ok;
}

bool CurlHops::ApplyMethod(const HopRequest& hop) {
  static const char kEmpty[] = "";
  const Bytes& body = *hop.body;
  const std::string& method = hop.method;
  const char* data = body.empty() ? kEmpty : reinterpret_cast<const char*>(body.data());
  auto size = static_cast<curl_off_t>(body.size());
  bool head = method == "HEAD";
  bool ok = curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, nullptr) == CURLE_OK &&
            curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L) == CURLE_OK;
  // A body goes with any method that has one; POST and PUT always announce theirs.
  bool withBody = !head && (!body.empty() || method == "POST" || method == "PUT");
  bodySize_ = withBody ? size : 0;
  if (withBody) {
    ok = ok && curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, size) == CURLE_OK &&
         curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, data) == CURLE_OK;
  }
  if (head) {
    ok = ok && curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L) == CURLE_OK;
  } else if (method != "POST" && (withBody || method != "GET")) {
    ok = ok && curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method.c_str()) == CURLE_OK;
  }
  return ok;
}

TransferEnd CurlHops::RunHop(const HopRequest& hop, HopEvents& events) {
  if (!PrepareHop(hop)) {
    if (detail_.empty()) detail_ = "libcurl refused the request";
    return TransferEnd::kFailed;
  }
  hop_ = &hop;
  events_ = &events;
  clock_ = HopClock(request_.timeouts);
  uploaded_ = 0;
  head_ = ResponseHead();
  headDone_ = false;
  abortedAs_.reset();
  if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) {
    detail_ = "libcurl could not start";
    return TransferEnd::kFailed;
  }
  struct Remove {
    CURLM* multi;
    CURL* easy;
    ~Remove() { curl_multi_remove_handle(multi, easy); }
  } remove{multi_, easy_};

  const int32_t pollMs = request_.pollIntervalMs > 0 ? request_.pollIntervalMs : 1000;
  uint64_t kickedAt = ~uint64_t{0};
  for (;;) {
    if (PollSaysStop()) return TransferEnd::kWoken;
    int running = 0;
    if (curl_multi_perform(multi_, &running) != CURLM_OK) {
      detail_ = "libcurl failed";
      return TransferEnd::kFailed;
    }
    // Before the outcome is judged: a transfer broken off for a wake is no failure.
    if (PollSaysStop()) return TransferEnd::kWoken;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
      if (message->msg == CURLMSG_DONE) return Judge(message->data.result);
    }
    if (std::optional<TransferEnd> late = clock_.Expired()) {
      detail_ = clock_.detail();
      return *late;
    }
    // Records read ahead are not seen by waiting on the socket. A kick that
    // took nothing in (the rest of a record is still on its way) means wait.
    if (pieces_ != kickedAt && TlsBytesWaiting(easy_)) {
      kickedAt = pieces_;
      KickReceive(easy_);
      continue;
    }
    if (curl_multi_poll(multi_, nullptr, 0,
                        static_cast<int>(std::min<int64_t>(pollMs, clock_.MsToDeadline())),
                        nullptr) != CURLM_OK) {
      detail_ = "libcurl failed";
      return TransferEnd::kFailed;
    }
  }
}

TransferEnd CurlHops::Judge(CURLcode code) {
  if (abortedAs_) return *abortedAs_;
  // A connection that closes inside the head can look like a complete
  // close-delimited response to libcurl.
  if (code == CURLE_OK && !headDone_) code = CURLE_GOT_NOTHING;
  if (code == CURLE_OK) return TransferEnd::kComplete;
  detail_ = curl_easy_strerror(code);
  if (headDone_) return TransferEnd::kDropped;
  if (clock_.phase() < HopPhase::kSending || code == CURLE_COULDNT_RESOLVE_HOST ||
      code == CURLE_COULDNT_RESOLVE_PROXY || code == CURLE_COULDNT_CONNECT ||
      code == CURLE_SSL_CONNECT_ERROR || code == CURLE_PEER_FAILED_VERIFICATION) {
    return TransferEnd::kCouldNotConnect;
  }
  if (code == CURLE_SEND_ERROR || uploaded_ < bodySize_) return TransferEnd::kNotSent;
  return TransferEnd::kNoResponse;
}

// At the blank line that ends a final (not interim) head. False breaks the hop off.
bool CurlHops::HeadEnded() {
  headDone_ = true;
  clock_.Enter(HopPhase::kBody);
  abortedAs_ = events_->OnHead(head_);
  return !abortedAs_;
}

size_t CurlHops::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* s = static_cast<CurlHops*>(self);
  size_t bytes = size * count;
  std::string_view line(data, bytes);
  ++s->pieces_;
  s->clock_.Activity();
  // Each response (an interim 100, say) starts over.
  if (line.starts_with("HTTP/")) {
    s->head_ = ResponseHead();
    s->headDone_ = false;
    s->head_.status = ParseStatusLine(line);
  }
  // Lines ended by a bare line feed are kept as CRLF lines all the same.
  if (line.ends_with("\n")) line.remove_suffix(1);
  if (line.ends_with("\r")) line.remove_suffix(1);
  s->head_.rawHeaders.append(line);
  s->head_.rawHeaders.append("\r\n");
  if (line.empty() && s->head_.status >= 200 && !s->headDone_ && !s->HeadEnded()) return 0;
  return bytes;
}

size_t CurlHops::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* s = static_cast<CurlHops*>(self);
  size_t bytes = size * count;
  ++s->pieces_;
  s->clock_.Body(static_cast<int64_t>(bytes));
  // At full speed one perform call takes in many pieces; a wake breaks it
  // off here instead of after all of them.
  if (s->PollSaysStop()) {
    s->abortedAs_ = TransferEnd::kWoken;
    return CURL_WRITEFUNC_ERROR;
  }
  // A response without a proper head (libcurl passes such bodies on as well).
  if (!s->headDone_ && !s->HeadEnded()) return CURL_WRITEFUNC_ERROR;
  if (std::optional<TransferEnd> end = s->events_->OnBody(data, bytes)) {
    s->abortedAs_ = end;
    return CURL_WRITEFUNC_ERROR;
  }
  return bytes;
}

int CurlHops::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
  auto* s = static_cast<CurlHops*>(self);
  if (uploaded != s->uploaded_) {
    s->uploaded_ = uploaded;
    s->clock_.Activity();
    if (uploaded >= s->bodySize_) s->clock_.Enter(HopPhase::kWaiting);
  }
  return 0;
}

int CurlHops::OnPrerequest(void* self, char*, char*, int, int) {
  auto* s = static_cast<CurlHops*>(self);
  s->clock_.Enter(s->bodySize_ > 0 ? HopPhase::kSending : HopPhase::kWaiting);
  return CURL_PREREQFUNC_OK;
}

int CurlHops::OnSocket(void* self, curl_socket_t, curlsocktype) {
  static_cast<CurlHops*>(self)->clock_.Enter(HopPhase::kConnecting);
  return CURL_SOCKOPT_OK;
}

}  // namespace
}  // namespace tw::net
