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

using net::ContentRange;
using net::ParseContentRange;

// What identifies the version of the file a response carries: its ETag, else
// its Last-Modified; empty when it has neither.
std::string ValidatorOf(const net::ResponseHead& head);

// The request lines of an attempt that continues at `offset` (0 with no
// validator: the first request, "Range:bytes=0-").
std::vector<std::string> RangeRequestLines(int64_t offset, const std::string& validator);

}  // namespace tw
