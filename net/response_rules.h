// What a response head says about its body, read the same way by every
// transport: how long the body is, and whether its framing can be trusted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw::net {

struct ResponseHead;

// The status code of a status line ("HTTP/1.1 206 Partial Content"): its three
// digits after the first blank, 100 to 999; 0 when the line has no such code.
int ParseStatusLine(std::string_view line);

// "bytes first-last/total" ("*" for an unknown total).
struct ContentRange {
  int64_t first = 0;
  int64_t last = 0;
  std::optional<int64_t> total;
};
std::optional<ContentRange> ParseContentRange(std::string_view value);

// Why the head's framing cannot be trusted, or nullopt when it can: Content-Length
// lines (or list items) that differ or are no number, or a Content-Length beside a
// Transfer-Encoding. Either way sender and receiver may disagree where the body
// ends, so the response is refused rather than read one way or the other.
std::optional<std::string> FramingProblem(const ResponseHead& head);

// The Content-Length, once FramingProblem found none; nullopt when absent.
std::optional<int64_t> ContentLengthOf(const ResponseHead& head);

// How many body bytes the response announced: its Content-Length, else for a
// 206 with one Content-Range the span of that range; nullopt when it announced
// nothing (a body that ends when the connection does, or chunked).
std::optional<int64_t> AnnouncedLength(const ResponseHead& head);

// Why the body is not the resource's bytes as stored: a Content-Encoding other
// than identity (a body decoded on the way would no longer match its checksum
// or its length); nullopt when it is.
std::optional<std::string> CodingProblem(const ResponseHead& head);

// The one range a 206 carries, or why there is none to take: several ranges
// (multipart/byteranges), no or more than one Content-Range, or a
// Content-Length other than the range's span.
struct SingleRange {
  std::optional<ContentRange> range;
  std::string problem;  // empty when `range` holds one
};
SingleRange ReadSingleRange(const ResponseHead& head);

}  // namespace tw::net
