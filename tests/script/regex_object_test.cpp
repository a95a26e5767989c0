#include "script/regex_object.h"

#include <gtest/gtest.h>

#include "text/convert.h"
#include "text/system_texts.h"

namespace tw {
namespace {

Text G(std::string_view utf8) { return Utf8ToGbk(utf8); }

// The characters a file name may not hold, as the download request cleans them.
const Text kFileNamePattern = R"(\\|\||\/|\*|\?|\<|\>|\:|\")";
// The charset declaration looked for at the top of a page.
const Text kCharsetPattern = R"(<meta.+?charset=[^\w]?([-\w]+))";

TEST(RegexFileName, ReplacesEveryForbiddenCharacter) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create(kFileNamePattern, G(R"(中a\b|c/d*e?f<g>h:i"j\\k文)")));
  EXPECT_EQ(regex.GetMatchCount(), 11);
  EXPECT_EQ(regex.Replace("_"), G("中a_b_c_d_e_f_g_h_i_j__k文"));
}

TEST(RegexFileName, CleanNameComesBackUnchanged) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create(kFileNamePattern, G("win10 镜像 2004")));
  EXPECT_EQ(regex.GetMatchCount(), 0);
  EXPECT_EQ(regex.GetMatchText(1), "");
  EXPECT_EQ(regex.Replace("_"), G("win10 镜像 2004"));
}

TEST(RegexCharset, FindsTheNameInEveryCommonSpelling) {
  struct Case {
    const char* page;
    const char* charset;
  } cases[] = {
      {R"(<HTML><HEAD><META HTTP-EQUIV="Content-Type" CONTENT="text/html; CHARSET=UTF-8">)",
       "UTF-8"},
      {R"(<head><meta charset="gb2312"><title>x</title>)", "gb2312"},
      {R"(<head><meta charset='big5'>)", "big5"},
      {"<head>\n<meta charset=utf-8>\n<meta charset=gbk>", "utf-8"},
      {R"(<meta name="x" content="y"><meta http-equiv="Content-Type" content="text/html;charset=shift_jis" />)",
       "shift_jis"},
  };
  for (const Case& c : cases) {
    RegexObject regex;
    ASSERT_TRUE(regex.Create(kCharsetPattern, c.page)) << c.page;
    EXPECT_EQ(regex.GetSubMatchText(1, 1), c.charset) << c.page;
    EXPECT_EQ(regex.GetSubMatchCount(), 1);
  }
}

TEST(RegexCharset, PageWithoutDeclarationGivesEmptyName) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create(kCharsetPattern, G("<html><body>没有声明</body></html>")));
  EXPECT_EQ(regex.GetMatchCount(), 0);
  EXPECT_EQ(regex.GetSubMatchText(1, 1), "");
  EXPECT_EQ(regex.GetSubMatchCount(), 0);
}

TEST(RegexPosition, IsAByteOffsetAfterTwoByteCharacters) {
  RegexObject regex;
  const Text subject = G("中文ab中Def中def");
  ASSERT_TRUE(regex.Create("d(e)f", subject));
  ASSERT_EQ(regex.GetMatchCount(), 2);
  int32_t position = -1;
  EXPECT_EQ(regex.GetMatchText(1, &position), "Def");
  EXPECT_EQ(position, 8);  // the engine's index is 5
  EXPECT_EQ(regex.GetMatchText(2, &position), "def");
  EXPECT_EQ(position, 13);
  EXPECT_EQ(regex.GetSubMatchText(1, 1, &position), "e");
  EXPECT_EQ(position, 9);
}

TEST(RegexPosition, SearchRespectsTheCaseOption) {
  // Case-sensitive: the search for "Def" from the engine's index must not
  // settle for an earlier spelling with other letter case.
  RegexObject regex;
  const Text subject = G("中中中def Def");
  ASSERT_TRUE(regex.Create("Def", subject, /*caseSensitive=*/true));
  int32_t position = -1;
  EXPECT_EQ(regex.GetMatchText(1, &position), "Def");
  EXPECT_EQ(position, 10);
  // Ignoring case, the first spelling from the start offset is taken.
  ASSERT_TRUE(regex.Create("DEF", subject));
  EXPECT_EQ(regex.GetMatchText(1, &position), "def");
  EXPECT_EQ(position, 6);
}

TEST(RegexPosition, NeverStartsInsideATwoByteCharacter) {
  // 0x81 0x41 is one GBK character whose trail byte reads as "A". The match is
  // at index 2, which as a byte offset is the lead byte of the second such
  // character; the search must step over it whole and find the real "A".
  const Text subject =
      "\x81\x41\x81\x41"
      "A";
  RegexObject regex;
  ASSERT_TRUE(regex.Create("a", subject));
  int32_t position = -1;
  EXPECT_EQ(regex.GetMatchText(1, &position), "A");
  EXPECT_EQ(position, 4);
}

TEST(RegexPosition, EmptyMatchesAndMissingPositions) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create("x*", "ab"));
  ASSERT_EQ(regex.GetMatchCount(), 3);  // before a, before b, at the end
  int32_t position = -1;
  EXPECT_EQ(regex.GetMatchText(1, &position), "");
  EXPECT_EQ(position, 0);
  EXPECT_EQ(regex.GetMatchText(3, &position), "");
  EXPECT_EQ(position, -2);

  position = 77;
  EXPECT_EQ(regex.GetMatchText(4, &position), "");
  EXPECT_EQ(position, 77);  // out of range: left untouched
}

TEST(RegexGroups, GroupThatTookNoPartIsEmpty) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create("(a)|(b)", "xb"));
  EXPECT_EQ(regex.GetSubMatchCount(), 2);
  int32_t position = -1;
  EXPECT_EQ(regex.GetSubMatchText(1, 1, &position), "");
  EXPECT_EQ(position, 0);
  EXPECT_EQ(regex.GetSubMatchText(1, 2, &position), "b");
  EXPECT_EQ(position, 1);
  EXPECT_EQ(regex.GetSubMatchText(1, 3), "");
  EXPECT_EQ(regex.GetSubMatchText(0, 1), "");
}

TEST(RegexGroups, ReplaceExpandsGroupReferences) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create("(\\w+)=(\\w+)", G("a=1; 键=2; b=3")));
  EXPECT_EQ(regex.Replace("$2:$1"), G("1:a; 键=2; 3:b"));
  EXPECT_EQ(regex.Replace("[$&]"), G("[a=1]; 键=2; [b=3]"));
}

TEST(RegexQuoteMarker, StandsForAQuoteOnlyWithTheFlag) {
  const Text pattern = Texts().quoteMarker + "(\\w+)" + Texts().quoteMarker;
  const Text quoted = R"(say "hi")";
  const Text marked = "say " + Texts().quoteMarker + "hi" + Texts().quoteMarker;

  RegexObject regex;
  ASSERT_TRUE(regex.Create(pattern, quoted, false, true, true, /*quoteEscape=*/true));
  EXPECT_EQ(regex.GetPattern(), R"x("(\w+)")x");
  EXPECT_EQ(regex.GetMatchText(1), R"("hi")");

  ASSERT_TRUE(regex.Create(pattern, quoted));
  EXPECT_EQ(regex.GetPattern(), pattern);
  EXPECT_EQ(regex.GetMatchCount(), 0);
  ASSERT_TRUE(regex.Create(pattern, marked));
  EXPECT_EQ(regex.GetSubMatchText(1, 1), "hi");
}

TEST(RegexOptions, CaseMultiLineAndGlobal) {
  RegexObject regex;
  const Text subject = "One\none\nONE";
  ASSERT_TRUE(regex.Create("^one$", subject));
  EXPECT_EQ(regex.GetMatchCount(), 3);
  ASSERT_TRUE(regex.Create("^one$", subject, /*caseSensitive=*/true));
  EXPECT_EQ(regex.GetMatchCount(), 1);
  ASSERT_TRUE(regex.Create("^one$", subject, false, /*multiLine=*/false));
  EXPECT_EQ(regex.GetMatchCount(), 0);
  ASSERT_TRUE(regex.Create("one", subject, false, true, /*global=*/false));
  EXPECT_EQ(regex.GetMatchCount(), 1);
  EXPECT_EQ(regex.Replace("1"), "1\none\nONE");
  // "." stops at a line break.
  ASSERT_TRUE(regex.Create("e.o", "e\no exo"));
  EXPECT_EQ(regex.GetMatchText(1), "exo");
}

TEST(RegexFailure, InvalidPatternLeavesEveryReadEmpty) {
  RegexObject regex;
  EXPECT_EQ(regex.GetPattern(), "");
  EXPECT_EQ(regex.Replace("x"), "");
  ASSERT_TRUE(regex.Create("a", "a"));
  EXPECT_FALSE(regex.Create("(a", "aaa"));
  EXPECT_EQ(regex.GetMatchCount(), 0);
  EXPECT_EQ(regex.GetMatchText(1), "");
  EXPECT_EQ(regex.GetSubMatchCount(), 0);
  EXPECT_EQ(regex.Replace("x"), "");
  EXPECT_TRUE(regex.Create("a+", "baa"));
  EXPECT_EQ(regex.GetMatchText(1), "aa");
}

TEST(RegexFailure, RunawayBacktrackingIsCutOffAndTheObjectRecovers) {
  RegexObject regex;
  EXPECT_FALSE(regex.Create("(a+)+b", std::string(40, 'a')));
  EXPECT_EQ(regex.GetMatchCount(), 0);
  EXPECT_TRUE(regex.Create("(a+)+b", "aab"));
  EXPECT_EQ(regex.GetMatchText(1), "aab");
}

TEST(RegexCopies, KeepTheirMatchesWhenTheOriginalIsRecreated) {
  RegexObject original;
  ASSERT_TRUE(original.Create("b", "abc"));
  RegexObject copy = original;
  ASSERT_TRUE(original.Create("x", "xyz"));
  EXPECT_EQ(copy.GetMatchText(1), "b");
  EXPECT_EQ(copy.Replace("_"), "a_c");
  EXPECT_EQ(original.Replace("_"), "_yz");
}

}  // namespace
}  // namespace tw
