#include "text/text.h"

#include <charconv>

namespace tw {

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool MatchesAt(std::string_view text, std::size_t pos, std::string_view what, bool ignoreCase) {
  if (text.size() - pos < what.size()) return false;
  if (!ignoreCase) return text.compare(pos, what.size(), what) == 0;
  for (std::size_t i = 0; i < what.size(); ++i) {
    if (FoldAscii(text[pos + i]) != FoldAscii(what[i])) return false;
  }
  return true;
}

bool IsBlankAt(std::string_view text, std::size_t pos) {
  return text[pos] == ' ' ||
         (pos + 1 < text.size() && static_cast<unsigned char>(text[pos]) == 0xA1 &&
          static_cast<unsigned char>(text[pos + 1]) == 0xA1);
}

// `pos` must be at a character boundary.
std::size_t FindFromBoundary(std::string_view text, std::string_view what, std::size_t pos,
                             bool ignoreCase) {
  if (what.empty()) return pos <= text.size() ? pos : kNotFound;
  while (pos < text.size() && text.size() - pos >= what.size()) {
    if (MatchesAt(text, pos, what, ignoreCase)) return pos;
    pos += CharWidth(text, pos);
  }
  return kNotFound;
}

}  // namespace

Text Trim(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsBlankAt(text, begin)) begin += text[begin] == ' ' ? 1 : 2;
  // Trailing blanks are found by a forward scan so that 0xA1 0xA1 is only taken
  // where it is a whole character.
  std::size_t end = begin;
  for (std::size_t pos = begin; pos < text.size();) {
    const bool blank = IsBlankAt(text, pos);
    pos += blank ? (text[pos] == ' ' ? 1 : 2) : CharWidth(text, pos);
    if (!blank) end = pos;
  }
  return Text(text.substr(begin, end - begin));
}

std::vector<Text> SplitText(std::string_view text, std::string_view delimiter) {
  std::vector<Text> parts;
  if (text.empty()) return parts;
  if (delimiter.empty()) {
    parts.emplace_back(text);
    return parts;
  }
  std::size_t pieceStart = 0;
  std::size_t pos = 0;
  while (text.size() - pos >= delimiter.size()) {
    if (MatchesAt(text, pos, delimiter, false)) {
      parts.emplace_back(text.substr(pieceStart, pos - pieceStart));
      pos += delimiter.size();
      pieceStart = pos;
    } else {
      pos += CharWidth(text, pos);
    }
  }
  if (pieceStart < text.size()) parts.emplace_back(text.substr(pieceStart));
  return parts;
}

Text FormatNumber(double value) {
  // Not printf: its decimal point follows the process's numeric locale, which
  // the toolkit may set from the user's environment ("12,5" under a German
  // locale). The texts this makes are shown, compared and evaluated as script,
  // so they always use the C locale's ".".
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 13);
  return Text(buffer, result.ptr);
}

std::size_t FindText(std::string_view text, std::string_view what, std::size_t from,
                     bool ignoreCase) {
  // Walk from the start so that `from` landing on a trail byte is stepped over
  // with its character.
  std::size_t pos = 0;
  while (pos < from && pos < text.size()) pos += CharWidth(text, pos);
  return FindFromBoundary(text, what, pos, ignoreCase);
}

std::size_t FindLastText(std::string_view text, std::string_view what, bool ignoreCase) {
  if (what.empty()) return text.size();
  std::size_t last = kNotFound;
  for (std::size_t pos = FindFromBoundary(text, what, 0, ignoreCase); pos != kNotFound;
       pos = FindFromBoundary(text, what, pos + CharWidth(text, pos), ignoreCase)) {
    last = pos;
  }
  return last;
}

bool ContainsText(std::string_view text, std::string_view what, bool ignoreCase) {
  return FindText(text, what, 0, ignoreCase) != kNotFound;
}

bool StartsWithText(std::string_view text, std::string_view prefix, bool ignoreCase) {
  return MatchesAt(text, 0, prefix, ignoreCase);
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && MatchesAt(a, 0, b, true);
}

Text ReplaceText(std::string_view text, std::string_view what, std::string_view with,
                 bool ignoreCase) {
  if (what.empty()) return Text(text);
  Text out;
  out.reserve(text.size());
  std::size_t copied = 0;
  for (std::size_t pos = FindFromBoundary(text, what, 0, ignoreCase); pos != kNotFound;
       pos = FindFromBoundary(text, what, pos + what.size(), ignoreCase)) {
    out.append(text.substr(copied, pos - copied));
    out.append(with);
    copied = pos + what.size();
  }
  out.append(text.substr(copied));
  return out;
}

}  // namespace tw
