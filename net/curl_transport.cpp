// The transfer over libcurl. One easy handle serves every hop, so a redirect
// to the same server reuses its connection; redirects, cookies across hops,
// credentials and every time limit are handled here rather than by libcurl,
// whose own rules differ from the program's.
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <mutex>

#include "net/content_length.h"
#include "net/curl_tls.h"
#include "net/hop_cookies.h"
#include "net/redirect_rules.h"
#include "net/transfer.h"

namespace tw::net {
namespace {

using Clock = std::chrono::steady_clock;

// libcurl's receive buffer: large reads keep the system calls per byte low.
constexpr long kReceiveBufferBytes = 512L * 1024;
// libcurl's own connect limit is not used; this only keeps it out of the way.
constexpr long kNoLibraryLimitMs = 0x7FFFFFFF;
// Headers libcurl adds by itself; each is sent only when the request has it.
constexpr std::string_view kLibraryDefaults[] = {"Accept", "Expect", "Content-Type"};

std::mutex& TrustMutex() {
  static std::mutex mutex;
  return mutex;
}
std::string& TrustedFile() {
  static std::string file;
  return file;
}

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

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

void TrustOnlyCertificateFile(const std::string& pemPath) {
  std::lock_guard guard(TrustMutex());
  TrustedFile() = pemPath;
}

struct Transfer::State {
  explicit State(Request r) : request(std::move(r)) {}

  enum class Phase { kResolving, kConnecting, kExchanging };

  Request request;
  std::mutex wakeMutex;  // guards multi against Wake from other threads
  bool woken = false;    // under wakeMutex
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  ResponseSink* sink = nullptr;
  std::string detail;
  int32_t redirects = 0;
  HopCookies cookies;

  // The hop under way.
  UrlParts url;
  std::string method;
  Bytes body;
  Phase phase = Phase::kResolving;
  Clock::time_point phaseStart;
  Clock::time_point lastActivity;
  uint64_t activity = 0;  // bumped by the callbacks; the loop turns it into time
  uint64_t seenActivity = 0;
  curl_off_t uploaded = 0;
  ResponseHead head;
  bool headDone = false;
  std::optional<Hop> next;  // set when the head ended in a redirect that is followed
  bool finalResponse = false;
  int64_t received = 0;
  std::optional<TransferEnd> abortedAs;  // why a callback broke the transfer off

  ~State() {
    if (multi != nullptr && easy != nullptr) curl_multi_remove_handle(multi, easy);
    if (easy != nullptr) curl_easy_cleanup(easy);
    {
      std::lock_guard guard(wakeMutex);
      if (multi != nullptr) curl_multi_cleanup(multi);
      multi = nullptr;
    }
    curl_slist_free_all(headers);
  }

  bool IsWoken() {
    std::lock_guard guard(wakeMutex);
    return woken;
  }

  bool Setup();
  bool PrepareHop();
  bool ApplyMethod();
  TransferEnd RunHop();
  std::optional<TransferEnd> CheckTimeouts();
  // Until the limit of the current phase runs out (at least 1).
  int64_t MsToDeadline() const;
  TransferEnd Judge(CURLcode code);
  bool HeadEnded();

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static int OnProgress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                        curl_off_t uploaded);
  static int OnPrerequest(void* self, char*, char*, int, int);
  static int OnSocket(void* self, curl_socket_t, curlsocktype);
};

Transfer::Transfer(Request request) : state_(std::make_unique<State>(std::move(request))) {}
Transfer::~Transfer() = default;

void Transfer::Wake() {
  std::lock_guard guard(state_->wakeMutex);
  state_->woken = true;
  if (state_->multi != nullptr) curl_multi_wakeup(state_->multi);
}

int32_t Transfer::redirectsFollowed() const { return state_->redirects; }
const std::string& Transfer::detail() const { return state_->detail; }

TransferEnd Transfer::Run(ResponseSink& sink) {
  State& s = *state_;
  s.sink = &sink;
  if (!PrepareNetwork()) {
    s.detail = "libcurl could not be initialised";
    return TransferEnd::kFailed;
  }
  if (!s.Setup()) {
    if (s.detail.empty()) s.detail = "libcurl could not be set up";
    return TransferEnd::kFailed;
  }
  s.url = s.request.url;
  s.method = s.request.method.empty() ? "GET" : s.request.method;
  s.body = s.request.body;
  for (;;) {
    if (!s.PrepareHop()) {
      s.detail = "libcurl refused the request";
      return TransferEnd::kFailed;
    }
    TransferEnd end = s.RunHop();
    if (end != TransferEnd::kComplete || !s.next) return end;
    ++s.redirects;
    if (s.request.carryCookies) s.cookies.Collect(s.url, s.head.rawHeaders);
    if (!s.next->keepBody) s.body.clear();
    s.method = s.next->method;
    s.url = s.next->url;
  }
}

bool Transfer::State::Setup() {
  {
    std::lock_guard guard(wakeMutex);
    multi = curl_multi_init();
  }
  easy = curl_easy_init();
  if (multi == nullptr || easy == nullptr) return false;
  std::string trusted;
  {
    std::lock_guard guard(TrustMutex());
    trusted = TrustedFile();
  }
  const Request& r = request;
  CURL* h = easy;
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
            curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &State::OnHeader) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_HEADERDATA, this) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &State::OnBody) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_WRITEDATA, this) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &State::OnProgress) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_XFERINFODATA, this) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &State::OnPrerequest) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_PREREQDATA, this) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_SOCKOPTFUNCTION, &State::OnSocket) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_SOCKOPTDATA, this) == CURLE_OK;
  ReadTlsAhead(h);
  if (ok && !r.userAgent.empty()) {
    ok = curl_easy_setopt(h, CURLOPT_USERAGENT, r.userAgent.c_str()) == CURLE_OK;
  }
  if (ok && !r.proxyCredentials.user.empty() && !r.proxyCredentials.password.empty()) {
    ok =
        curl_easy_setopt(h, CURLOPT_PROXYAUTH, CURLAUTH_BASIC) == CURLE_OK &&
        curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, r.proxyCredentials.user.c_str()) == CURLE_OK &&
        curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, r.proxyCredentials.password.c_str()) == CURLE_OK;
  }
  if (ok && !r.verifyCertificates) {
    ok = curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L) == CURLE_OK &&
         curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L) == CURLE_OK &&
         curl_easy_setopt(h, CURLOPT_PROXY_SSL_VERIFYPEER, 0L) == CURLE_OK &&
         curl_easy_setopt(h, CURLOPT_PROXY_SSL_VERIFYHOST, 0L) == CURLE_OK;
  } else if (ok && !trusted.empty()) {
    ok = curl_easy_setopt(h, CURLOPT_CAINFO, trusted.c_str()) == CURLE_OK &&
         curl_easy_setopt(h, CURLOPT_CAPATH, nullptr) == CURLE_OK;
  }
  return ok;
}

bool Transfer::State::PrepareHop() {
  std::vector<std::string> lines =
      request.carryCookies ? cookies.Apply(request.headerLines, url) : request.headerLines;
  curl_slist_free_all(headers);
  headers = nullptr;
  bool present[std::size(kLibraryDefaults)] = {};
  auto append = [this](const std::string& line) {
    curl_slist* grown = curl_slist_append(headers, line.c_str());
    if (grown != nullptr) headers = grown;
    return grown != nullptr;
  };
  for (const std::string& line : lines) {
    std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) {
      detail = "a request header line without a name";
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
  // Basic credentials go to the first host only.
  bool credentials = !request.server.user.empty() && !request.server.password.empty() &&
                     url.host == request.url.host;
  std::string whole = url.Whole();
  bool ok = curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_URL, whole.c_str()) == CURLE_OK && ApplyMethod();
  if (credentials) {
    ok = ok && curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_BASIC) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_USERNAME, request.server.user.c_str()) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_PASSWORD, request.server.password.c_str()) == CURLE_OK;
  } else {
    ok = ok && curl_easy_setopt(easy, CURLOPT_USERNAME, nullptr) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_PASSWORD, nullptr) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_NONE) == CURLE_OK;
  }
  return ok;
}

bool Transfer::State::ApplyMethod() {
  static const char kEmpty[] = "";
  const char* data = body.empty() ? kEmpty : reinterpret_cast<const char*>(body.data());
  auto size = static_cast<curl_off_t>(body.size());
  bool head = method == "HEAD";
  bool ok = curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, nullptr) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L) == CURLE_OK;
  // A body goes with any method that has one; POST and PUT always announce theirs.
  bool withBody = !head && (!body.empty() || method == "POST" || method == "PUT");
  if (withBody) {
    ok = ok && curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, size) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_POSTFIELDS, data) == CURLE_OK;
  }
  if (head) {
    ok = ok && curl_easy_setopt(easy, CURLOPT_NOBODY, 1L) == CURLE_OK;
  } else if (method != "POST" && (withBody || method != "GET")) {
    ok = ok && curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str()) == CURLE_OK;
  }
  return ok;
}

TransferEnd Transfer::State::RunHop() {
  phase = Phase::kResolving;
  phaseStart = lastActivity = Clock::now();
  activity = seenActivity = 0;
  uploaded = 0;
  head = ResponseHead();
  headDone = false;
  next.reset();
  finalResponse = false;
  received = 0;
  abortedAs.reset();
  if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
    detail = "libcurl could not start";
    return TransferEnd::kFailed;
  }
  struct Remove {
    CURLM* multi;
    CURL* easy;
    ~Remove() { curl_multi_remove_handle(multi, easy); }
  } remove{multi, easy};

  const int32_t pollMs = request.pollIntervalMs > 0 ? request.pollIntervalMs : 1000;
  uint64_t kickedAt = ~uint64_t{0};
  for (;;) {
    if (IsWoken() || (request.poll && request.poll())) return TransferEnd::kWoken;
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      detail = "libcurl failed";
      return TransferEnd::kFailed;
    }
    // Before the outcome is judged: a transfer broken off for a wake is no failure.
    if (IsWoken() || (request.poll && request.poll())) return TransferEnd::kWoken;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
      if (message->msg == CURLMSG_DONE) return Judge(message->data.result);
    }
    if (std::optional<TransferEnd> late = CheckTimeouts()) return *late;
    // Records read ahead are not seen by waiting on the socket. A kick that
    // took nothing in (the rest of a record is still on its way) means wait.
    if (activity != kickedAt && TlsBytesWaiting(easy)) {
      kickedAt = activity;
      KickReceive(easy);
      continue;
    }
    if (curl_multi_poll(multi, nullptr, 0,
                        static_cast<int>(std::min<int64_t>(pollMs, MsToDeadline())),
                        nullptr) != CURLM_OK) {
      detail = "libcurl failed";
      return TransferEnd::kFailed;
    }
  }
}

std::optional<TransferEnd> Transfer::State::CheckTimeouts() {
  if (activity != seenActivity) {
    seenActivity = activity;
    lastActivity = Clock::now();
  }
  const Timeouts& t = request.timeouts;
  switch (phase) {
    case Phase::kResolving:
      if (t.resolveMs > 0 && MsSince(phaseStart) > t.resolveMs) {
        detail = "name lookup timed out";
        return TransferEnd::kCouldNotConnect;
      }
      break;
    case Phase::kConnecting:
      if (t.connectMs > 0 && MsSince(phaseStart) > t.connectMs) {
        detail = "connect timed out";
        return TransferEnd::kCouldNotConnect;
      }
      break;
    case Phase::kExchanging: {
      bool sending = uploaded < static_cast<curl_off_t>(body.size()) && !headDone;
      int32_t limit = sending ? t.sendMs : t.receiveMs;
      if (limit > 0 && MsSince(lastActivity) > limit) {
        detail = sending ? "send timed out" : "receive timed out";
        if (sending) return TransferEnd::kNotSent;
        return headDone ? TransferEnd::kSilent : TransferEnd::kNoResponse;
      }
      break;
    }
  }
  return std::nullopt;
}

int64_t Transfer::State::MsToDeadline() const {
  const Timeouts& t = request.timeouts;
  int64_t limit = 0;
  Clock::time_point from = phaseStart;
  switch (phase) {
    case Phase::kResolving:
      limit = t.resolveMs;
      break;
    case Phase::kConnecting:
      limit = t.connectMs;
      break;
    case Phase::kExchanging: {
      bool sending = uploaded < static_cast<curl_off_t>(body.size()) && !headDone;
      limit = sending ? t.sendMs : t.receiveMs;
      from = lastActivity;
      break;
    }
  }
  if (limit <= 0) return INT32_MAX;
  return std::max<int64_t>(1, limit + 1 - MsSince(from));
}

TransferEnd Transfer::State::Judge(CURLcode code) {
  if (abortedAs) return *abortedAs;
  // A connection that closes inside the head can look like a complete
  // close-delimited response to libcurl.
  if (code == CURLE_OK && !headDone) code = CURLE_GOT_NOTHING;
  if (code == CURLE_OK) return TransferEnd::kComplete;
  detail = curl_easy_strerror(code);
  if (headDone) return next ? TransferEnd::kComplete : TransferEnd::kDropped;
  if (phase != Phase::kExchanging || code == CURLE_COULDNT_RESOLVE_HOST ||
      code == CURLE_COULDNT_RESOLVE_PROXY || code == CURLE_COULDNT_CONNECT ||
      code == CURLE_SSL_CONNECT_ERROR || code == CURLE_PEER_FAILED_VERIFICATION) {
    return TransferEnd::kCouldNotConnect;
  }
  if (code == CURLE_SEND_ERROR || uploaded < static_cast<curl_off_t>(body.size())) {
    return TransferEnd::kNotSent;
  }
  return TransferEnd::kNoResponse;
}

// At the blank line that ends a final (not interim) head: follow, or hand the
// response to the sink. False breaks the transfer off.
bool Transfer::State::HeadEnded() {
  headDone = true;
  if (request.followRedirects) {
    next = NextHop(url, method, head.status, head.Header("Location"));
    if (next && redirects >= kMaxRedirects) {
      abortedAs = TransferEnd::kTooManyRedirects;
      return false;
    }
    if (next) return true;
  }
  finalResponse = true;
  head.contentLength = ParseContentLength(head.Header("Content-Length"));
  if (!sink->OnResponse(head)) {
    abortedAs = TransferEnd::kRefusedBySink;
    return false;
  }
  if (request.maxBodyBytes >= 0 && head.contentLength &&
      *head.contentLength > request.maxBodyBytes && method != "HEAD") {
    abortedAs = TransferEnd::kTooLarge;
    return false;
  }
  return true;
}

size_t Transfer::State::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* s = static_cast<State*>(self);
  size_t bytes = size * count;
  std::string_view line(data, bytes);
  ++s->activity;
  // Each response (an interim 100, say) starts over.
  if (line.starts_with("HTTP/")) {
    s->head = ResponseHead();
    s->headDone = false;
    std::size_t space = line.find(' ');
    if (space != std::string_view::npos) {
      for (std::size_t i = space + 1; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        s->head.status = s->head.status * 10 + (line[i] - '0');
      }
    }
  }
  // Lines ended by a bare line feed are kept as CRLF lines all the same.
  if (line.ends_with("\n")) line.remove_suffix(1);
  if (line.ends_with("\r")) line.remove_suffix(1);
  s->head.rawHeaders.append(line);
  s->head.rawHeaders.append("\r\n");
  if (line.empty() && s->head.status >= 200 && !s->headDone && !s->HeadEnded()) return 0;
  return bytes;
}

size_t Transfer::State::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* s = static_cast<State*>(self);
  size_t bytes = size * count;
  ++s->activity;
  // At full speed one perform call takes in many pieces; a wake breaks it
  // off here instead of after all of them.
  if (s->IsWoken() || (s->request.poll && s->request.poll())) {
    s->abortedAs = TransferEnd::kWoken;
    return CURL_WRITEFUNC_ERROR;
  }
  if (s->next) return bytes;  // a redirect's own body is dropped
  if (!s->finalResponse) {
    // A response without a proper head (libcurl passes such bodies on as well).
    s->headDone = true;
    s->finalResponse = true;
    if (!s->sink->OnResponse(s->head)) {
      s->abortedAs = TransferEnd::kRefusedBySink;
      return CURL_WRITEFUNC_ERROR;
    }
  }
  int64_t cap = s->request.maxBodyBytes;
  if (cap >= 0 && s->received + static_cast<int64_t>(bytes) > cap) {
    size_t allowed = static_cast<size_t>(cap - s->received);
    if (allowed > 0) s->sink->OnBody(data, allowed);
    s->abortedAs = TransferEnd::kTooLarge;
    return CURL_WRITEFUNC_ERROR;
  }
  s->received += static_cast<int64_t>(bytes);
  if (!s->sink->OnBody(data, bytes)) {
    s->abortedAs = TransferEnd::kRefusedBySink;
    return CURL_WRITEFUNC_ERROR;
  }
  return bytes;
}

int Transfer::State::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t,
                                curl_off_t uploaded) {
  auto* s = static_cast<State*>(self);
  if (uploaded != s->uploaded) {
    s->uploaded = uploaded;
    ++s->activity;
  }
  return 0;
}

int Transfer::State::OnPrerequest(void* self, char*, char*, int, int) {
  auto* s = static_cast<State*>(self);
  s->phase = Phase::kExchanging;
  ++s->activity;
  return CURL_PREREQFUNC_OK;
}

int Transfer::State::OnSocket(void* self, curl_socket_t, curlsocktype) {
  auto* s = static_cast<State*>(self);
  if (s->phase == Phase::kResolving) {
    s->phase = Phase::kConnecting;
    s->phaseStart = Clock::now();
  }
  return CURL_SOCKOPT_OK;
}

}  // namespace tw::net
