#include "net/trust.h"

#include <cstdlib>

namespace tw::net {

std::string ExtraCaFile() {
  // Nothing in the program writes the environment, so reading it from any thread is safe.
  const char* value = std::getenv(kCaFileVariable);  // NOLINT(concurrency-mt-unsafe)
  return value != nullptr ? std::string(value) : std::string();
}

}  // namespace tw::net
