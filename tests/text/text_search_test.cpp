#include <gtest/gtest.h>

#include "text/convert.h"
#include "text/text.h"

namespace tw {
namespace {

TEST(FindText, PositionsAreBytesAndSkipTwoByteCharacters) {
  const Text text = Utf8ToGbk("中文ab中b");
  EXPECT_EQ(FindText(text, "ab"), 4u);
  EXPECT_EQ(FindText(text, "b", 6), 8u);
  EXPECT_EQ(FindText(text, "zz"), kNotFound);
  // "\xD6\xD0" is one character: its trail byte never starts a match.
  EXPECT_EQ(FindText("\xD6"
                     "A"
                     "A",
                     "A"),
            2u);
  // A start inside a character moves to the next character.
  EXPECT_EQ(FindText("\xD6"
                     "AA",
                     "A", 1),
            2u);
}

TEST(FindText, IgnoreCaseFoldsAsciiLettersOnly) {
  EXPECT_EQ(FindText("xx Set-Cookie: a", "set-cookie:", 0, true), 3u);
  EXPECT_EQ(FindText("xx Set-Cookie: a", "set-cookie:", 0, false), kNotFound);
  // 0xC1 and 0xE1 differ by 0x20 but are not letters.
  EXPECT_EQ(FindText("\xC1\xC1", "\xE1\xE1", 0, true), kNotFound);
}

TEST(FindLastText, FindsLastWholeOccurrence) {
  EXPECT_EQ(FindLastText("a: b: c", ": "), 4u);
  EXPECT_EQ(FindLastText("aaa", "aa"), 1u);
  EXPECT_EQ(FindLastText("abc", "x"), kNotFound);
}

TEST(ReplaceText, NonOverlappingLeftToRight) {
  EXPECT_EQ(ReplaceText("a////b", "//", "/"), "a//b");
  EXPECT_EQ(ReplaceText("a///b", "//", "/"), "a//b");
  EXPECT_EQ(ReplaceText("x#Q#qy", "#q", "\"", true), "x\"\"y");
  EXPECT_EQ(ReplaceText("abc", "", "z"), "abc");
}

}  // namespace
}  // namespace tw
