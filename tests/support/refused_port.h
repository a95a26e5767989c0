// A port of 127.0.0.1 on which nothing listens, for the connect that is refused.
#pragma once

namespace tw::testing {

// One that was free a moment ago: taken and given back, so no other server
// of the test program holds it.
int RefusedPort();

}  // namespace tw::testing
