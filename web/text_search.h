// Marker searches over GBK text, stepping over two-byte characters. An absent
// marker gives an empty text.
#pragma once

#include <string_view>

#include "text/text.h"

namespace tw {

// The text before the first `marker`.
Text TextBefore(std::string_view text, std::string_view marker);

// The text after the last `marker`.
Text TextAfterLast(std::string_view text, std::string_view marker);

// The text between the first `left` and the next `right` after it. In both
// markers "#引号" stands for a double quote, so callers can write quotes in
// patterns that are themselves quoted.
Text TextBetween(std::string_view text, std::string_view left, std::string_view right);

}  // namespace tw
