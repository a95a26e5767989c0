#include "download/download_runtime.h"

#include <curl/curl.h>

#include <csignal>
#include <mutex>

namespace tw {

void PrepareDownloadRuntime() {
  static std::once_flag once;
  std::call_once(once, [] {
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    curl_global_init(CURL_GLOBAL_DEFAULT);
  });
}

}  // namespace tw
