#include "web/share_host.h"

#include <cstdlib>

namespace tw {

Text ShareHost() {
  const char* value = std::getenv(kShareHostVariable);
  return value != nullptr && *value != '\0' ? Text(value) : Text(kDefaultShareHost);
}

}  // namespace tw
