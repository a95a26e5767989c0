#include "web/share_host.h"

#include <cstdlib>

namespace tw {

Text ShareHost() {
  // Nothing in the program writes the environment, so reading it from any thread is safe.
  const char* value = std::getenv(kShareHostVariable);  // NOLINT(concurrency-mt-unsafe)
  return value != nullptr && *value != '\0' ? Text(value) : Text(kDefaultShareHost);
}

}  // namespace tw
