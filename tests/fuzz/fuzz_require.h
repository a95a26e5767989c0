// A property every input must keep; aborting makes libFuzzer keep the input.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace tw::fuzz {

inline void Require(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "broken: %s\n", what);
  std::abort();
}

}  // namespace tw::fuzz
