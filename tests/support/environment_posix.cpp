#include <cstdlib>

#include "tests/support/environment.h"

namespace tw::testing {

void SetEnvironment(const char* name, const std::string& value) {
  if (value.empty()) {
    unsetenv(name);
  } else {
    setenv(name, value.c_str(), 1);
  }
}

}  // namespace tw::testing
