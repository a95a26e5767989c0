// When a broken-off download may go on, and from where.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/response_rules.h"
#include "net/transfer.h"

namespace tw {

// Reconnections per download after the body broke off, and the wait before
// each: 1, 2, 4, 8 and 16 units (a second each, unless a test says otherwise).
inline constexpr int32_t kResumeTries = 5;
inline int32_t ResumeWaitMs(int32_t tryIndex, int32_t unitMs = 1000) { return unitMs << tryIndex; }

using net::ContentRange;
using net::ParseContentRange;

// What identifies the version of the file a response carries: its ETag, else
// its Last-Modified; empty when it has neither.
std::string ValidatorOf(const net::ResponseHead& head);

// The request lines of an attempt that continues at `offset` (0 with no
// validator: the first request, "Range:bytes=0-").
std::vector<std::string> RangeRequestLines(int64_t offset, const std::string& validator);

}  // namespace tw
