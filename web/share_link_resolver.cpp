#include "web/share_link_resolver.h"

#include <limits>

#include "script/json_object.h"
#include "text/convert.h"
#include "web/http_fetch.h"
#include "web/share_host.h"
#include "web/text_search.h"

namespace tw {
namespace {

constexpr char kShareIdMarker[] = "shareId\" value=\"";

// U+FF01..U+FF5E are the full-width forms of "!".."~"; U+3000 is the full-width space.
Text FullWidthToAscii(const Text& text) {
  std::u16string wide = GbkToUtf16(text);
  for (char16_t& c : wide) {
    if (c >= 0xFF01 && c <= 0xFF5E) c = static_cast<char16_t>(c - 0xFEE0);
    if (c == 0x3000) c = u' ';
  }
  return Utf16ToGbk(wide);
}

bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

Text VerifyUrl(const Text& shareId) {
  return "https://" + ShareHost() + "/shareFileVerifyPass.action?fileVO.id=" + shareId +
         "&accessCode=&noCache=0.39174652216024697";
}

int64_t ParseFileSize(const Text& text) {
  Text ascii = FullWidthToAscii(text);
  std::size_t i = 0;
  while (i < ascii.size() && IsWhiteSpace(ascii[i])) ++i;
  bool negative = false;
  if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-')) negative = ascii[i++] == '-';
  // Accumulated as a magnitude so the most negative value is reachable.
  constexpr uint64_t kMax = std::numeric_limits<int64_t>::max();
  uint64_t limit = negative ? kMax + 1 : kMax;
  uint64_t value = 0;
  for (; i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9'; ++i) {
    uint64_t digit = static_cast<uint64_t>(ascii[i] - '0');
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  return negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
}

Text ShareLinkResolver(const Text& shareLink, int64_t* size,
                       const std::function<bool()>& abandoned) {
  JsonObject json;
  const auto gaveUp = [&abandoned] { return abandoned && abandoned(); };
  HttpFetchOptions plain;
  plain.abandoned = abandoned;
  Text page = HttpFetch(shareLink, plain);
  if (gaveUp()) return Text();
  Text shareId = TextBetween(page, kShareIdMarker, "\"");

  // Nothing on the way is checked: a broken step shows as empty texts later on.
  json.Parse(HttpFetch(VerifyUrl(shareId), plain));
  if (gaveUp()) return Text();
  if (size != nullptr) *size = ParseFileSize(json.GetValue("fileSize"));
  Text longUrl = json.GetValue("longDownloadUrl");

  Text headers;
  HttpFetchOptions redirect;
  redirect.responseHeaders = &headers;
  redirect.noRedirect = true;
  redirect.abandoned = abandoned;
  HttpFetch(longUrl, redirect);
  if (gaveUp()) return Text();
  return Trim(TextBetween(headers, "Location:", "\r\n"));
}

}  // namespace tw
