#include "net/response_rules.h"

#include <charconv>
#include <vector>

#include "net/transfer.h"

namespace tw::net {
namespace {

std::optional<int64_t> Number(std::string_view text) {
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty() || value < 0) {
    return std::nullopt;
  }
  return value;
}

// Every value of every Content-Length line, a list "10, 10" giving two.
std::vector<std::optional<int64_t>> ContentLengths(const ResponseHead& head) {
  std::vector<std::optional<int64_t>> values;
  for (const Text& line : head.Headers("Content-Length")) {
    for (const Text& item : SplitText(line, ",")) values.push_back(Number(Trim(item)));
    if (line.empty() || line.back() == ',') values.emplace_back(std::nullopt);
  }
  return values;
}

}  // namespace

int ParseStatusLine(std::string_view line) {
  const size_t blank = line.find(' ');
  if (blank == std::string_view::npos || line.size() < blank + 4) return 0;
  int status = 0;
  for (char c : line.substr(blank + 1, 3)) {
    if (c < '0' || c > '9') return 0;
    status = status * 10 + (c - '0');
  }
  // "HTTP/1.1 2000" is no code of three digits, "HTTP/1.1 020" no code at all.
  if (line.size() > blank + 4 && line[blank + 4] >= '0' && line[blank + 4] <= '9') return 0;
  return status >= 100 ? status : 0;
}

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

std::optional<std::string> FramingProblem(const ResponseHead& head) {
  const std::vector<std::optional<int64_t>> lengths = ContentLengths(head);
  if (lengths.empty()) return std::nullopt;
  for (const std::optional<int64_t>& length : lengths) {
    if (!length) return "a Content-Length that is no number";
    if (*length != *lengths.front()) return "Content-Length values that differ";
  }
  if (head.Header("Transfer-Encoding")) return "a Content-Length beside a Transfer-Encoding";
  return std::nullopt;
}

std::optional<int64_t> ContentLengthOf(const ResponseHead& head) {
  const std::vector<std::optional<int64_t>> lengths = ContentLengths(head);
  return lengths.empty() ? std::nullopt : lengths.front();
}

std::optional<int64_t> AnnouncedLength(const ResponseHead& head) {
  if (std::optional<int64_t> length = ContentLengthOf(head)) return length;
  if (head.status != 206) return std::nullopt;
  const std::vector<Text> ranges = head.Headers("Content-Range");
  if (ranges.size() != 1) return std::nullopt;
  std::optional<ContentRange> range = ParseContentRange(ranges.front());
  if (!range) return std::nullopt;
  return range->last - range->first + 1;
}

std::optional<std::string> CodingProblem(const ResponseHead& head) {
  for (const Text& coding : head.Headers("Content-Encoding")) {
    if (!EqualsIgnoreCase(coding, "identity")) return "the body is encoded (" + coding + ")";
  }
  return std::nullopt;
}

SingleRange ReadSingleRange(const ResponseHead& head) {
  SingleRange read;
  const std::vector<Text> ranges = head.Headers("Content-Range");
  if (ranges.size() == 1) read.range = ParseContentRange(ranges.front());
  if (!read.range) {
    const std::optional<Text> type = head.Header("Content-Type");
    read.problem = type && StartsWithText(*type, "multipart/", true)
                       ? "a 206 of several ranges"
                       : "a 206 without one valid Content-Range";
  } else if (head.contentLength &&
             *head.contentLength != read.range->last - read.range->first + 1) {
    read.range.reset();
    read.problem = "a 206 whose length is not its range's";
  }
  return read;
}

}  // namespace tw::net
