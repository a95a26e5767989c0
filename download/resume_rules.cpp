#include "download/resume_rules.h"

namespace tw {
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
