#include "web/request_headers.h"

#include "web/text_search.h"

namespace tw {
namespace {

struct DefaultHeader {
  std::string_view searched;  // present anywhere, in any case, suppresses the line
  std::string_view line;
  bool postOnly;
};

// Order matters: the lines are appended in this order. The Content-Type search
// has no blank after the colon, so "Content-Type:x" suppresses it too.
constexpr DefaultHeader kDefaultHeaders[] = {
    {"User-Agent: ",
     "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n",
     false},
    {"Accept: ", "Accept: text/html, application/xhtml+xml, */*\r\n", false},
    {"Accept-Encoding: ", "Accept-Encoding: gbk, GB2312\r\n", false},
    {"Accept-Language: ", "Accept-Language: zh-cn\r\n", false},
    {"Content-Type:", "Content-Type: application/x-www-form-urlencoded\r\n", true},
    {"Cache-Control: ", "Cache-Control: no-cache\r\n", false},
};

constexpr int32_t kPostMethod = 1;

void CapitaliseFirst(Text& word) {
  if (!word.empty() && word[0] >= 'a' && word[0] <= 'z') word[0] = static_cast<char>(word[0] - 32);
}

}  // namespace

Text BuildRequestHeaders(std::string_view extraHeaders, std::string_view cookies, int32_t method,
                         bool addDefaultHeaders, bool normalizeHeaderNames) {
  Text block;
  if (!extraHeaders.empty()) {
    block.append(extraHeaders);
    block.append("\r\n");
  }
  if (addDefaultHeaders) {
    for (const DefaultHeader& header : kDefaultHeaders) {
      if (header.postOnly && method != kPostMethod) continue;
      if (!ContainsText(block, header.searched, /*ignoreCase=*/true)) block.append(header.line);
    }
  }
  if (normalizeHeaderNames) block = NormalizeHeaderNames(block);

  // A keep-alive request line is left to the transport, which keeps
  // connections alive by itself; only whole lines go, so a last line without
  // CRLF stays.
  if (ContainsText(block, "Connection") && HeaderValue(block, "Connection") == "keep-alive") {
    block = ReplaceText(block, "Connection: keep-alive\r\n", "");
  }

  // A Cookie line of the caller's own wins over `cookies`.
  if (!cookies.empty() && !ContainsText(block, "Cookie:", /*ignoreCase=*/true)) {
    block.append(ContainsText(cookies, "Cookie:", /*ignoreCase=*/true) ? "\r\n" : "\r\nCookie: ");
    block.append(cookies);
    block.append("\r\n");
  }
  return block;
}

Text NormalizeHeaderNames(std::string_view block) {
  Text result;
  bool first = true;
  for (const Text& line : SplitText(block, "\r\n")) {
    std::size_t colon = FindText(line, ":");
    if (colon == kNotFound) continue;
    Text name = line.substr(0, colon);
    Text newName;
    if (ContainsText(name, "-")) {
      bool firstPiece = true;
      for (Text piece : SplitText(name, "-")) {
        CapitaliseFirst(piece);
        if (!firstPiece) newName.append("-");
        newName.append(piece);
        firstPiece = false;
      }
    } else {
      newName = name;
      CapitaliseFirst(newName);
    }
    if (!first) result.append("\r\n");
    result.append(newName);
    result.append(line, colon);
    first = false;
  }
  return result;
}

Text HeaderValue(std::string_view block, std::string_view name) {
  for (const Text& line : SplitText(block, "\r\n")) {
    if (StartsWithText(line, name)) return TextAfterLast(line, Text(name) + ": ");
  }
  return Text();
}

}  // namespace tw
