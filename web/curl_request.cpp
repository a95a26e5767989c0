#include "web/curl_request.h"

#include <chrono>
#include <mutex>

#include "text/message_pump.h"

namespace tw {
namespace {

constexpr long kPollMs = 25;  // how long the UI thread may go without pumping
constexpr int kMaxRedirects = 10;

constexpr const char* kMethodNames[] = {"GET",     "POST",   "HEAD",  "PUT",
                                        "OPTIONS", "DELETE", "TRACE", "CONNECT"};
enum Method : int32_t { kGet = 0, kPost = 1, kHead = 2, kPut = 3 };

// Headers libcurl adds by itself; each is sent only when the block has it.
constexpr std::string_view kLibraryDefaults[] = {"Accept", "Expect", "Content-Type"};

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

CurlRequest::~CurlRequest() {
  if (multi_ != nullptr && easy_ != nullptr) curl_multi_remove_handle(multi_, easy_);
  if (easy_ != nullptr) curl_easy_cleanup(easy_);
  if (multi_ != nullptr) curl_multi_cleanup(multi_);
  curl_slist_free_all(headers_);
}

bool CurlRequest::PlatformReady() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ready;
}

bool CurlRequest::OpenSession() {
  multi_ = curl_multi_init();
  return multi_ != nullptr;
}

bool CurlRequest::OpenConnection() {
  easy_ = curl_easy_init();
  if (easy_ == nullptr) return false;
  bool ok =
      curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
      curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1) == CURLE_OK &&
      curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
      curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK &&
      curl_easy_setopt(easy_, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L) == CURLE_OK &&
      curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlRequest::OnHeader) == CURLE_OK &&
      curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this) == CURLE_OK &&
      curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlRequest::OnBody) == CURLE_OK &&
      curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this) == CURLE_OK &&
      curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &CurlRequest::OnProgress) == CURLE_OK &&
      curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this) == CURLE_OK &&
      curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
      curl_easy_setopt(easy_, CURLOPT_PREREQFUNCTION, &CurlRequest::OnPrerequest) == CURLE_OK &&
      curl_easy_setopt(easy_, CURLOPT_PREREQDATA, this) == CURLE_OK &&
      curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs_)) == CURLE_OK;
  return ok;
}

bool CurlRequest::OpenRequest(const std::string& url, int32_t method, const Bytes& body) {
  method_ = method >= 0 && method < 8 ? method : kGet;
  requestBody_ = body;
  secure_ = StartsWithText(url, "https:", /*ignoreCase=*/true);
  return curl_easy_setopt(easy_, CURLOPT_URL, url.c_str()) == CURLE_OK && ApplyMethod();
}

bool CurlRequest::ApplyMethod() {
  static const char kEmpty[] = "";
  const char* data =
      requestBody_.empty() ? kEmpty : reinterpret_cast<const char*>(requestBody_.data());
  auto size = static_cast<curl_off_t>(requestBody_.size());
  bool ok = curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, nullptr) == CURLE_OK &&
            curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L) == CURLE_OK;
  // A body goes with any method that has one; POST and PUT always announce theirs.
  bool withBody =
      method_ != kHead && (!requestBody_.empty() || method_ == kPost || method_ == kPut);
  if (withBody) {
    ok = ok && curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, size) == CURLE_OK &&
         curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, data) == CURLE_OK;
  }
  if (method_ == kHead) {
    ok = ok && curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L) == CURLE_OK;
  } else if (method_ != kPost && (withBody || method_ != kGet)) {
    ok = ok && curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, kMethodNames[method_]) == CURLE_OK;
  }
  return ok;
}

bool CurlRequest::SetTimeout(int64_t milliseconds) {
  if (milliseconds <= 0) return false;
  timeoutMs_ = milliseconds;
  return true;
}

bool CurlRequest::SetServerCredentials(const Text& user, const Text& password) {
  return curl_easy_setopt(easy_, CURLOPT_HTTPAUTH, CURLAUTH_BASIC) == CURLE_OK &&
         curl_easy_setopt(easy_, CURLOPT_USERNAME, user.c_str()) == CURLE_OK &&
         curl_easy_setopt(easy_, CURLOPT_PASSWORD, password.c_str()) == CURLE_OK;
}

bool CurlRequest::SetProxy(const Text& proxy) {
  // An empty proxy also keeps libcurl from taking one from the environment.
  return curl_easy_setopt(easy_, CURLOPT_PROXY, proxy.c_str()) == CURLE_OK;
}

bool CurlRequest::SetProxyCredentials(const Text& user, const Text& password) {
  return curl_easy_setopt(easy_, CURLOPT_PROXYAUTH, CURLAUTH_BASIC) == CURLE_OK &&
         curl_easy_setopt(easy_, CURLOPT_PROXYUSERNAME, user.c_str()) == CURLE_OK &&
         curl_easy_setopt(easy_, CURLOPT_PROXYPASSWORD, password.c_str()) == CURLE_OK;
}

bool CurlRequest::IgnoreCertificateErrors() {
  return curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 0L) == CURLE_OK &&
         curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 0L) == CURLE_OK &&
         curl_easy_setopt(easy_, CURLOPT_PROXY_SSL_VERIFYPEER, 0L) == CURLE_OK &&
         curl_easy_setopt(easy_, CURLOPT_PROXY_SSL_VERIFYHOST, 0L) == CURLE_OK;
}

bool CurlRequest::SetCookieEngine(bool on) {
  // An empty file name starts the engine without reading any file.
  return !on || curl_easy_setopt(easy_, CURLOPT_COOKIEFILE, "") == CURLE_OK;
}

bool CurlRequest::SetHeaderBlock(std::string_view block) {
  bool present[std::size(kLibraryDefaults)] = {};
  for (const Text& line : SplitText(block, "\r\n")) {
    if (line.empty()) continue;
    std::size_t colon = FindText(line, ":");
    if (colon == kNotFound || colon == 0) return false;
    Text name = Trim(line.substr(0, colon));
    for (std::size_t i = 0; i < std::size(kLibraryDefaults); ++i) {
      present[i] = present[i] || EqualsIgnoreCase(name, kLibraryDefaults[i]);
    }
    // libcurl reads "Name:" as "do not send Name"; "Name;" sends it empty.
    std::string entry = Trim(line.substr(colon + 1)).empty() ? name + ";" : line;
    curl_slist* grown = curl_slist_append(headers_, entry.c_str());
    if (grown == nullptr) return false;
    headers_ = grown;
  }
  for (std::size_t i = 0; i < std::size(kLibraryDefaults); ++i) {
    if (present[i]) continue;
    curl_slist* grown =
        curl_slist_append(headers_, (std::string(kLibraryDefaults[i]) + ":").c_str());
    if (grown == nullptr) return false;
    headers_ = grown;
  }
  return curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_) == CURLE_OK;
}

ExchangeFailure CurlRequest::Perform() {
  for (int followed = 0;; ++followed) {
    CURLcode code = RunOnce();
    if (wasAbandoned_) return ExchangeFailure::kAbandoned;
    // A connection that closes inside the header block can look like a
    // complete close-delimited response to libcurl.
    if (code == CURLE_OK && !headersDone_) code = CURLE_GOT_NOTHING;
    if (code != CURLE_OK) {
      if (headersDone_) return ExchangeFailure::kBodyCut;
      bool refused = code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_RESOLVE_PROXY ||
                     code == CURLE_COULDNT_CONNECT || code == CURLE_SSL_CONNECT_ERROR;
      return refused || !connected_ ? ExchangeFailure::kNotSent : ExchangeFailure::kNoResponse;
    }
    if (!followRedirects_ || followed >= kMaxRedirects || !IsRedirect(statusCode_) || !NextHop()) {
      return ExchangeFailure::kNone;
    }
  }
}

CURLcode CurlRequest::RunOnce() {
  rawHeaders_.clear();
  body_.clear();
  statusCode_ = 0;
  headersDone_ = false;
  connected_ = false;
  uploaded_ = 0;
  Touch();
  if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) return CURLE_FAILED_INIT;

  CURLcode result = CURLE_OK;
  bool done = false;
  while (!done) {
    int running = 0;
    if (curl_multi_perform(multi_, &running) != CURLM_OK) {
      result = CURLE_FAILED_INIT;
      break;
    }
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
      if (message->msg == CURLMSG_DONE) {
        result = message->data.result;
        done = true;
      }
    }
    if (done) break;
    // Before the connection stands the connect timeout applies; after it,
    // every stretch without traffic in either direction is one wait.
    if (connected_ && NowMs() - lastActivityMs_ > timeoutMs_) {
      result = CURLE_OPERATION_TIMEDOUT;
      break;
    }
    curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr);
    if (IsUiThread()) ProcessPendingMessages();
    if (abandoned_ && abandoned_()) {
      wasAbandoned_ = true;
      result = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
  }
  curl_multi_remove_handle(multi_, easy_);
  return result;
}

bool CurlRequest::NextHop() {
  char* target = nullptr;
  if (curl_easy_getinfo(easy_, CURLINFO_REDIRECT_URL, &target) != CURLE_OK || target == nullptr) {
    return false;
  }
  std::string next = target;
  bool nextSecure = StartsWithText(next, "https:", /*ignoreCase=*/true);
  if (!nextSecure && !StartsWithText(next, "http:", /*ignoreCase=*/true)) return false;
  if (secure_ && !nextSecure) return false;
  if ((statusCode_ == 303 && method_ != kHead) ||
      ((statusCode_ == 301 || statusCode_ == 302) && method_ == kPost)) {
    method_ = kGet;
    requestBody_.clear();
  }
  secure_ = nextSecure;
  return curl_easy_setopt(easy_, CURLOPT_URL, next.c_str()) == CURLE_OK && ApplyMethod();
}

int CurlRequest::OnPrerequest(void* self, char*, char*, int, int) {
  auto* request = static_cast<CurlRequest*>(self);
  request->connected_ = true;
  request->Touch();
  return CURL_PREREQFUNC_OK;
}

void CurlRequest::Touch() { lastActivityMs_ = NowMs(); }

size_t CurlRequest::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* request = static_cast<CurlRequest*>(self);
  std::string_view line(data, size * count);
  request->Touch();
  // Each response (an interim 100, a redirect followed by libcurl) starts over.
  if (line.starts_with("HTTP/")) {
    request->rawHeaders_.clear();
    request->headersDone_ = false;
    request->statusCode_ = 0;
    std::size_t space = line.find(' ');
    if (space != std::string_view::npos) {
      for (std::size_t i = space + 1; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        request->statusCode_ = request->statusCode_ * 10 + (line[i] - '0');
      }
    }
  }
  request->rawHeaders_.append(line);
  if ((line == "\r\n" || line == "\n") && request->statusCode_ >= 200) {
    request->headersDone_ = true;
  }
  return size * count;
}

size_t CurlRequest::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* request = static_cast<CurlRequest*>(self);
  request->Touch();
  request->body_.insert(request->body_.end(), data, data + size * count);
  return size * count;
}

int CurlRequest::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
  auto* request = static_cast<CurlRequest*>(self);
  if (uploaded != request->uploaded_) {
    request->uploaded_ = uploaded;
    request->Touch();
  }
  return 0;
}

}  // namespace tw
