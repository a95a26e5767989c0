// A response head from the fuzzer, read as every transport hands it on: the
// status line, then header lines, each ended by CRLF or a bare line feed. What
// the download decides from it (framing, lengths, ranges, codings, the next
// hop) must hold together for any head, and nothing may read past the text.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_require.h"
#include "net/redirect_rules.h"
#include "net/response_rules.h"
#include "net/transfer.h"
#include "text/text.h"

namespace {

using tw::fuzz::Require;
namespace net = tw::net;

net::ResponseHead ReadHead(std::string_view input) {
  net::ResponseHead head;
  bool first = true;
  while (!input.empty()) {
    size_t end = input.find('\n');
    std::string_view line = input.substr(0, end);
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (first) head.status = net::ParseStatusLine(line);
    first = false;
    head.rawHeaders.append(line);
    head.rawHeaders.append("\r\n");
  }
  return head;
}

void CheckRange(const net::ContentRange& range) {
  Require(range.first >= 0 && range.first <= range.last, "a range runs forwards from 0 on");
  Require(!range.total || *range.total > range.last, "a range ends inside its total");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  net::ResponseHead head = ReadHead(input);
  Require(head.status == 0 || (head.status >= 100 && head.status <= 999),
          "a status is three digits or none");

  const auto problem = net::FramingProblem(head);
  const auto length = net::ContentLengthOf(head);
  if (!problem) {
    if (!head.Headers("Content-Length").empty()) {
      Require(length && *length >= 0, "a trusted Content-Length is a number");
    }
    Require(!length || !head.Header("Transfer-Encoding"), "no length beside chunking is trusted");
  }
  head.contentLength = problem ? std::nullopt : length;
  head.url = *net::SplitUrl("https://127.0.0.1:8443/share/image.iso?x=1");

  if (const auto announced = net::AnnouncedLength(head)) {
    Require(*announced >= 0, "an announced length is not negative");
  }
  for (const tw::Text& value : head.Headers("Content-Range")) {
    if (const auto range = net::ParseContentRange(value)) CheckRange(*range);
  }
  if (!net::CodingProblem(head)) {
    for (const tw::Text& coding : head.Headers("Content-Encoding")) {
      Require(tw::EqualsIgnoreCase(coding, "identity"), "only identity passes as the file's bytes");
    }
  }
  const net::SingleRange single = net::ReadSingleRange(head);
  Require(single.range.has_value() == single.problem.empty(), "a range or a reason, never both");
  if (single.range) {
    CheckRange(*single.range);
    const int64_t span = single.range->last - single.range->first + 1;
    Require(!head.contentLength || *head.contentLength == span, "a 206's length is its span");
    if (head.status == 206 && head.contentLength) {
      Require(net::AnnouncedLength(head) == span, "the body is bounded by its range");
    }
  }
  for (const char* method : {"GET", "POST", "HEAD"}) {
    if (const auto next = net::NextHop(head.url, method, head.status, head.Header("Location"))) {
      Require(net::IsRedirectStatus(head.status), "only a redirect leads on");
      Require(!next->url.host.empty(), "a next hop names a host");
      Require(next->url.secure, "https never gives way to http");
    }
  }
  return 0;
}
