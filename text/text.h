// The program's text type and the byte-level helpers every module shares.
//
// A Text holds code page 936 (GBK) bytes. A byte of 0x80 or more starts a
// two-byte character; every search here steps over such a character whole, so a
// match never starts on its second byte. Positions are 0-based byte offsets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

using Text = std::string;
using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t kNotFound = std::string::npos;

inline bool IsLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// Width in bytes of the character that starts at `pos` (1 or 2; 1 for a lead
// byte that ends the text).
inline std::size_t CharWidth(std::string_view text, std::size_t pos) {
  return IsLeadByte(text[pos]) && pos + 1 < text.size() ? 2 : 1;
}

// Removes leading and trailing blanks: the ASCII space and the full-width
// space 0xA1 0xA1. Tabs and line ends are kept.
Text Trim(std::string_view text);

// Splits at every occurrence of `delimiter`. Empty text gives no elements; an
// empty delimiter gives the whole text; a leading delimiter gives an empty first
// element, a trailing one no empty last element.
std::vector<Text> SplitText(std::string_view text, std::string_view delimiter);

// printf "%.13g" in the C locale, whatever the process locale is.
Text FormatNumber(double value);

// Byte offset of the first occurrence of `what` at or after `from`, stepping
// over two-byte characters; kNotFound when absent. `ignoreCase` folds ASCII
// letters only. An empty `what` is found at `from` while `from` <= size.
std::size_t FindText(std::string_view text, std::string_view what, std::size_t from = 0,
                     bool ignoreCase = false);

// Offset of the last occurrence found by the same scan; kNotFound when absent.
std::size_t FindLastText(std::string_view text, std::string_view what, bool ignoreCase = false);

bool ContainsText(std::string_view text, std::string_view what, bool ignoreCase = false);
bool StartsWithText(std::string_view text, std::string_view prefix, bool ignoreCase = false);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Replaces every non-overlapping occurrence, scanning left to right once.
Text ReplaceText(std::string_view text, std::string_view what, std::string_view with,
                 bool ignoreCase = false);

}  // namespace tw
