// The cloud share service's host (name, optionally ":port"). Share links and
// the verify request are built on it. TARNWICK_SHARE_HOST overrides the real
// service, for the local stand-in and the tests.
#pragma once

#include "text/text.h"

namespace tw {

inline constexpr char kShareHostVariable[] = "TARNWICK_SHARE_HOST";
inline constexpr char kDefaultShareHost[] = "cloud.189.cn";

// Read from the environment on every call.
Text ShareHost();

}  // namespace tw
