#include "download/http_get.h"

#include <curl/curl.h>

#include <cctype>
#include <memory>
#include <string_view>

#include "download/download_runtime.h"
#include "download/thread_record.h"
#include "text/text.h"

namespace tw {
namespace {

struct EasyDeleter {
  void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct MultiDeleter {
  void operator()(CURLM* h) const { curl_multi_cleanup(h); }
};
struct ListDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct UrlDeleter {
  void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

// `location` resolved against `base`; empty when either is malformed.
std::string ResolveLocation(const std::string& base, const std::string& location) {
  std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK ||
      curl_url_set(url.get(), CURLUPART_URL, location.c_str(), 0) != CURLUE_OK) {
    return {};
  }
  char* text = nullptr;
  if (curl_url_get(url.get(), CURLUPART_URL, &text, 0) != CURLUE_OK) return {};
  std::string resolved = text;
  curl_free(text);
  return resolved;
}

// The scheme of an absolute URL, lower case; empty when the URL is malformed
// or not http/https.
std::string HttpScheme(const std::string& url) {
  std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
    return {};
  }
  char* scheme = nullptr;
  char* host = nullptr;
  std::string result;
  if (curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
      curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK && host[0] != '\0') {
    result = scheme;
    for (char& c : result) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  }
  curl_free(scheme);
  curl_free(host);
  return result == "http" || result == "https" ? result : std::string();
}

bool IsFollowedRedirect(long code) {
  return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

class Transfer {
 public:
  Transfer(const HttpGetSink& sink, std::string* error) : sink_(sink), error_(error) {}

  HttpGetResult Run(const Text& url);

 private:
  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  // Whether the current response is a redirect this transfer goes on with.
  bool Decide();
  HttpGetResult Fail(const std::string& why) {
    if (error_) *error_ = why;
    return HttpGetResult::Failed;
  }

  const HttpGetSink& sink_;
  std::string* error_;
  ThreadRecord* self_ = ThreadRecord::Current();
  CURL* easy_ = nullptr;
  std::string currentUrl_;
  std::string scheme_;
  int32_t redirects_ = 0;
  std::string location_;  // of the current response
  // Per response.
  bool decided_ = false;
  bool following_ = false;
  bool tooManyRedirects_ = false;
  std::string redirectUrl_;
  // Final response.
  bool begun_ = false;
  bool sinkAborted_ = false;
};

size_t Transfer::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<Transfer*>(self);
  // A status line starts a new response (interim, redirect or final).
  std::string_view line(data, size * count);
  if (line.size() >= 5 && line.substr(0, 5) == "HTTP/") {
    t->decided_ = false;
    t->location_.clear();
  } else if (line.size() > 9 && EqualsIgnoreCase(line.substr(0, 9), "Location:")) {
    t->location_ = Trim(ReplaceText(ReplaceText(line.substr(9), "\r", ""), "\n", ""));
  }
  return size * count;
}

bool Transfer::Decide() {
  if (decided_) return following_;
  decided_ = true;
  following_ = false;
  long code = 0;
  curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code);
  if (!IsFollowedRedirect(code) || location_.empty()) return false;
  std::string target = ResolveLocation(currentUrl_, location_);
  std::string scheme = HttpScheme(target);
  if (scheme.empty() || (scheme_ == "https" && scheme == "http")) return false;
  if (redirects_ >= kMaxRedirects) {
    tooManyRedirects_ = true;
    following_ = true;  // its body is not the file either
    return true;
  }
  redirectUrl_ = std::move(target);
  following_ = true;
  return true;
}

size_t Transfer::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<Transfer*>(self);
  size_t bytes = size * count;
  // At full speed one perform call can take in many chunks; a stop request
  // breaks it off here instead of after all of them.
  if (t->self_ && t->self_->WakePending()) return CURL_WRITEFUNC_ERROR;
  if (t->Decide()) return bytes;  // a redirect's own body is dropped
  if (!t->begun_) {
    t->begun_ = true;
    curl_off_t length = -1;
    curl_easy_getinfo(t->easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    long code = 0;
    curl_easy_getinfo(t->easy_, CURLINFO_RESPONSE_CODE, &code);
    if (t->sink_.begin && !t->sink_.begin(static_cast<int32_t>(code), length > 0 ? length : 0)) {
      t->sinkAborted_ = true;
      return CURL_WRITEFUNC_ERROR;
    }
  }
  if (t->sink_.chunk && !t->sink_.chunk(data, bytes)) {
    t->sinkAborted_ = true;
    return CURL_WRITEFUNC_ERROR;
  }
  return bytes;
}

HttpGetResult Transfer::Run(const Text& url) {
  PrepareDownloadRuntime();
  currentUrl_ = url;
  scheme_ = HttpScheme(url);
  if (scheme_.empty()) return Fail("malformed or unsupported URL");

  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
  std::unique_ptr<curl_slist, ListDeleter> headers(
      curl_slist_append(nullptr, kDownloadRangeHeader));
  if (!easy || !multi || !headers) return Fail("libcurl could not be set up");
  easy_ = easy.get();
  char errorText[CURL_ERROR_SIZE] = {};
  CURL* h = easy.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  // Otherwise removing a handle in the middle of a name lookup waits for the
  // lookup to finish, however long the resolver takes; this way the lookup
  // thread is left to end by itself and a stop is not held up.
  curl_easy_setopt(h, CURLOPT_QUICK_EXIT, 1L);
  curl_easy_setopt(h, CURLOPT_USERAGENT, kDownloadUserAgent);
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(h, CURLOPT_PROXY, "");  // "" also overrides the proxy variables
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);  // followed here, hop by hop
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, this);

  ThreadRecord* self = self_;
  // The hook is cleared before the multi handle is released (it is declared
  // after it, so it goes first on every way out).
  struct HookGuard {
    ThreadRecord* self;
    ~HookGuard() {
      if (self) self->ClearWakeHook();
    }
  } hookGuard{self};
  if (self) {
    CURLM* m = multi.get();
    self->SetWakeHook([m] { curl_multi_wakeup(m); });
  }

  if (curl_multi_add_handle(multi.get(), h) != CURLM_OK) return Fail("libcurl could not start");
  for (;;) {
    if (AlertableSleep(0) == kWaitIoCompletion) {
      curl_multi_remove_handle(multi.get(), h);
      return HttpGetResult::Woken;
    }
    int running = 0;
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
      curl_multi_remove_handle(multi.get(), h);
      return Fail("libcurl failed");
    }
    // Before the outcome is judged: a transfer broken off for a wake is no
    // failure.
    if (AlertableSleep(0) == kWaitIoCompletion) {
      curl_multi_remove_handle(multi.get(), h);
      return HttpGetResult::Woken;
    }
    if (running == 0) {
      CURLcode code = CURLE_OK;
      int left = 0;
      while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left)) {
        if (msg->msg == CURLMSG_DONE) code = msg->data.result;
      }
      curl_multi_remove_handle(multi.get(), h);
      if (sinkAborted_) return Fail("the body could not be stored");
      if (code != CURLE_OK) {
        return Fail(errorText[0] != '\0' ? std::string(errorText) : curl_easy_strerror(code));
      }
      if (!Decide()) return begun_ ? HttpGetResult::Completed : HttpGetResult::EmptyBody;
      if (tooManyRedirects_) return Fail("too many redirects");
      ++redirects_;
      currentUrl_ = redirectUrl_;
      scheme_ = HttpScheme(currentUrl_);
      curl_easy_setopt(h, CURLOPT_URL, currentUrl_.c_str());
      decided_ = false;
      errorText[0] = '\0';
      if (curl_multi_add_handle(multi.get(), h) != CURLM_OK) {
        return Fail("libcurl could not start");
      }
      continue;
    }
    if (curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr) != CURLM_OK) {
      curl_multi_remove_handle(multi.get(), h);
      return Fail("libcurl failed");
    }
  }
}

}  // namespace

HttpGetResult RunHttpGet(const Text& url, const HttpGetSink& sink, std::string* error) {
  Transfer transfer(sink, error);
  return transfer.Run(url);
}

}  // namespace tw
