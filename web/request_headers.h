// The request header block a fetch sends: the caller's lines, the default
// lines they lack, tidied names and the Cookie line.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace tw {

// The block for the caller's `extraHeaders` (CRLF-separated lines) and
// `cookies`. `method` 1 (POST) also gets a form Content-Type by default.
Text BuildRequestHeaders(std::string_view extraHeaders, std::string_view cookies, int32_t method,
                         bool addDefaultHeaders, bool normalizeHeaderNames);

// Capitalises each dash-separated word of every header name ("user-agent:x"
// becomes "User-Agent:x"); drops lines without a colon; no CRLF after the last
// line.
Text NormalizeHeaderNames(std::string_view block);

// The value of the first line that starts with `name` (exact case): what
// follows the last "<name>: " in that line. Empty when no line starts so.
Text HeaderValue(std::string_view block, std::string_view name);

}  // namespace tw
