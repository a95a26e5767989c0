// A name lookup that hangs: in a program that calls one of these functions
// (which brings the lookup in from the library), looking up kSlowLookupHost
// waits until it is released or its limit passes, then fails; every other
// name goes to the C library. libcurl's lookup thread calls it, so a stop
// during the lookup can be tested. POSIX only: on Windows the system's HTTP
// service resolves, out of a test's reach.
#pragma once

#include <chrono>

namespace tw::testing {

inline constexpr char kSlowLookupHost[] = "slow-lookup.test";

// How long each lookup of the host waits unless released; 30 s until set.
void SetSlowLookupLimit(std::chrono::milliseconds limit);
// Lookups of the host waiting right now.
int SlowLookupsWaiting();
// Ends the waiting lookups and lets later ones fail at once; false when some
// were still waiting after `limit`.
bool ReleaseSlowLookups(std::chrono::milliseconds limit);

}  // namespace tw::testing
