#include <dlfcn.h>
#include <netdb.h>

#include <condition_variable>
#include <mutex>
#include <string_view>

#include "tests/support/slow_lookup.h"

namespace tw::testing {
namespace {

std::mutex lookupMutex;
std::condition_variable lookupChanged;
std::chrono::milliseconds lookupLimit = std::chrono::seconds(30);
bool lookupReleased = false;
int lookupsWaiting = 0;

}  // namespace

void SetSlowLookupLimit(std::chrono::milliseconds limit) {
  std::lock_guard lock(lookupMutex);
  lookupLimit = limit;
}

int SlowLookupsWaiting() {
  std::lock_guard lock(lookupMutex);
  return lookupsWaiting;
}

bool ReleaseSlowLookups(std::chrono::milliseconds limit) {
  std::unique_lock lock(lookupMutex);
  lookupReleased = true;
  lookupChanged.notify_all();
  return lookupChanged.wait_for(lock, limit, [] { return lookupsWaiting == 0; });
}

}  // namespace tw::testing

// Defined in the program, this takes the C library's place for every caller,
// the shared libraries included.
extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** result) {
  using Real = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
  static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "getaddrinfo"));
  if (node == nullptr || std::string_view(node) != tw::testing::kSlowLookupHost) {
    return real(node, service, hints, result);
  }
  using namespace tw::testing;
  std::unique_lock lock(lookupMutex);
  ++lookupsWaiting;
  lookupChanged.wait_for(lock, lookupLimit, [] { return lookupReleased; });
  --lookupsWaiting;
  lookupChanged.notify_all();
  return EAI_NONAME;
}
