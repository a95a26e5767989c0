#include <cstdlib>

#include "tests/support/environment.h"

namespace tw::testing {

// _putenv_s with an empty value removes the variable, as wanted.
void SetEnvironment(const char* name, const std::string& value) { _putenv_s(name, value.c_str()); }

}  // namespace tw::testing
