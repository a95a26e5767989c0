// Setting the test program's own environment, for the settings the code under
// test reads from it (proxies, hosts).
#pragma once

#include <string>

namespace tw::testing {

// An empty value removes the variable.
void SetEnvironment(const char* name, const std::string& value);

}  // namespace tw::testing
