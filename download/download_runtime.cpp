#include "download/download_runtime.h"

#include <csignal>
#include <mutex>

#include "net/transfer.h"

namespace tw {

void PrepareDownloadRuntime() {
  static std::once_flag once;
  std::call_once(once, [] {
#if defined(SIGXFSZ)  // POSIX systems only
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    net::PrepareNetwork();
  });
}

}  // namespace tw
