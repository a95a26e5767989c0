#include "download/resume_rules.h"

#include <charconv>

namespace tw {
namespace {

std::optional<int64_t> Number(std::string_view text) {
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty() || value < 0) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<ContentRange> ParseContentRange(std::string_view value) {
  constexpr std::string_view kUnit = "bytes ";
  if (value.substr(0, kUnit.size()) != kUnit) return std::nullopt;
  value.remove_prefix(kUnit.size());
  size_t dash = value.find('-');
  size_t slash = value.find('/');
  if (dash == std::string_view::npos || slash == std::string_view::npos || dash > slash) {
    return std::nullopt;
  }
  std::optional<int64_t> first = Number(value.substr(0, dash));
  std::optional<int64_t> last = Number(value.substr(dash + 1, slash - dash - 1));
  if (!first || !last || *last < *first) return std::nullopt;
  ContentRange range{*first, *last, std::nullopt};
  std::string_view total = value.substr(slash + 1);
  if (total != "*") {
    range.total = Number(total);
    if (!range.total || *range.total <= *last) return std::nullopt;
  }
  return range;
}

std::string ValidatorOf(const net::ResponseHead& head) {
  std::optional<Text> etag = head.Header("ETag");
  // A weak ETag cannot go into If-Range.
  if (etag && !etag->empty() && etag->substr(0, 2) != "W/") return *etag;
  std::optional<Text> modified = head.Header("Last-Modified");
  return modified ? *modified : std::string();
}

std::vector<std::string> RangeRequestLines(int64_t offset, const std::string& validator) {
  if (offset == 0 && validator.empty()) return {"Range:bytes=0-"};
  std::vector<std::string> lines{"Range: bytes=" + std::to_string(offset) + "-"};
  if (!validator.empty()) lines.push_back("If-Range: " + validator);
  return lines;
}

}  // namespace tw
