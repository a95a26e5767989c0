// The value of a Content-Length line, read the same way by every transport.
#pragma once

#include <cstdint>
#include <optional>

#include "text/text.h"

namespace tw::net {

// nullopt when the line is absent or is not a plain decimal number that fits.
inline std::optional<int64_t> ParseContentLength(const std::optional<Text>& value) {
  if (!value || value->empty() || value->size() > 18) return std::nullopt;
  int64_t n = 0;
  for (char c : *value) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace tw::net
