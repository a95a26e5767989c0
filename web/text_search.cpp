#include "web/text_search.h"

#include "text/system_texts.h"

namespace tw {

Text TextBefore(std::string_view text, std::string_view marker) {
  std::size_t at = FindText(text, marker);
  return at == kNotFound ? Text() : Text(text.substr(0, at));
}

Text TextAfterLast(std::string_view text, std::string_view marker) {
  std::size_t at = FindLastText(text, marker);
  return at == kNotFound ? Text() : Text(text.substr(at + marker.size()));
}

Text TextBetween(std::string_view text, std::string_view left, std::string_view right) {
  const Text& quote = Texts().quoteMarker;
  Text leftMarker = ReplaceText(left, quote, "\"");
  Text rightMarker = ReplaceText(right, quote, "\"");
  std::size_t start = FindText(text, leftMarker);
  if (start == kNotFound) return Text();
  start += leftMarker.size();
  std::size_t end = FindText(text, rightMarker, start);
  if (end == kNotFound) return Text();
  return Text(text.substr(start, end - start));
}

}  // namespace tw
