#include "web/cookies.h"

#include <algorithm>
#include <vector>

#include "web/text_search.h"

namespace tw {
namespace {

constexpr std::string_view kSeparator = "; ";

// Trims and makes a trailing ";" split like the other separators.
void PrepareForSplit(Text& cookies) {
  cookies = Trim(cookies);
  if (!cookies.empty() && cookies.back() == ';') cookies.push_back(' ');
}

Text Join(const std::vector<Text>& items, std::string_view separator) {
  Text joined;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) joined.append(separator);
    joined.append(items[i]);
  }
  return joined;
}

}  // namespace

void CollectSetCookies(std::string_view line, Text& newCookies) {
  if (TextBefore(line, ": ") != "Set-Cookie") return;
  Text value = ContainsText(line, ";") ? TextBetween(line, "Set-Cookie:", ";")
                                       : ReplaceText(line, "Set-Cookie:", "", /*ignoreCase=*/true);
  newCookies.append(Trim(value));
  newCookies.append(kSeparator);
}

void TidyNewCookies(Text& newCookies) {
  if (newCookies.ends_with(kSeparator)) newCookies.resize(newCookies.size() - kSeparator.size());
}

Text MergeCookies(Text& cookies, Text& newCookies) {
  PrepareForSplit(cookies);
  PrepareForSplit(newCookies);
  std::vector<Text> old = SplitText(cookies, kSeparator);
  std::vector<Text> working = SplitText(newCookies, kSeparator);
  for (const Text& item : old) {
    Text name = CookieName(item);
    // Checked against the growing list: of two old items with one name only the first survives.
    bool known = std::any_of(working.begin(), working.end(),
                             [&name](const Text& other) { return CookieName(other) == name; });
    if (!known) working.push_back(item);
  }
  cookies.clear();
  for (const Text& item : working) {
    if (item.ends_with("=deleted")) continue;
    cookies.append(item);
    cookies.append(kSeparator);
  }
  cookies.resize(cookies.size() >= 2 ? cookies.size() - 2 : 0);
  cookies = RemoveDuplicateItems(cookies, kSeparator);
  return cookies;
}

Text CookieName(std::string_view item) {
  std::size_t equals = FindText(item, "=");
  return Trim(equals == kNotFound ? item : item.substr(0, equals));
}

Text RemoveDuplicateItems(std::string_view text, std::string_view separator) {
  std::vector<Text> kept;
  for (Text& piece : SplitText(text, separator)) {
    if (std::find(kept.begin(), kept.end(), piece) == kept.end()) kept.push_back(std::move(piece));
  }
  return Join(kept, separator);
}

}  // namespace tw
