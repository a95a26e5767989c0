#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "text/convert.h"
#include "text/text.h"

namespace tw {
namespace {

using Parts = std::vector<Text>;

TEST(SplitText, DelimiterPlacement) {
  EXPECT_EQ(SplitText("x----y", "----"), (Parts{"x", "y"}));
  EXPECT_EQ(SplitText("x--------y", "----"), (Parts{"x", "", "y"}));
  EXPECT_EQ(SplitText("----x", "----"), (Parts{"", "x"}));
  EXPECT_EQ(SplitText("x----", "----"), (Parts{"x"}));
  EXPECT_EQ(SplitText("x--------", "----"), (Parts{"x", ""}));
  EXPECT_EQ(SplitText("----", "----"), (Parts{""}));
  EXPECT_EQ(SplitText("x---", "----"), (Parts{"x---"}));
}

TEST(SplitText, EmptyInputs) {
  EXPECT_TRUE(SplitText("", "----").empty());
  EXPECT_EQ(SplitText("abc", ""), (Parts{"abc"}));
}

TEST(SplitText, NeverMatchesInsideTwoByteCharacter) {
  // 0xB0 0x41 is one character whose second byte is "A".
  const Text text =
      "\xB0"
      "AxAy";
  EXPECT_EQ(SplitText(text, "A"), (Parts{"\xB0"
                                         "Ax",
                                         "y"}));
  // The catalog's line separator between Chinese names.
  const Text line = Utf8ToGbk("名----链接----大小");
  EXPECT_EQ(SplitText(line, "----"),
            (Parts{Utf8ToGbk("名"), Utf8ToGbk("链接"), Utf8ToGbk("大小")}));
}

TEST(Trim, BlanksAreAsciiAndFullWidthSpacesOnly) {
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim("\xA1\xA1 a \xA1\xA1"), "a");
  EXPECT_EQ(Trim("\ta\r\n"), "\ta\r\n");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim(""), "");
}

TEST(Trim, FullWidthSpaceOnlyAsWholeCharacter) {
  // "\xB0\xA1" is a character whose trail byte is 0xA1: it and the next
  // byte are never taken for a full-width space.
  EXPECT_EQ(Trim("\xB0\xA1\xA1\xA1 "), "\xB0\xA1");
  EXPECT_EQ(Trim("\xA1\xA1\xB0\xA1"), "\xB0\xA1");
  EXPECT_EQ(Trim("\xB0\xA1\xA1\xA1\xA1"), "\xB0\xA1\xA1\xA1\xA1");
  // A lone lead byte at the end is kept.
  EXPECT_EQ(Trim("a\xA1"), "a\xA1");
}

TEST(FormatNumber, ThirteenSignificantDigits) {
  EXPECT_EQ(FormatNumber(3.0), "3");
  EXPECT_EQ(FormatNumber(12.5), "12.5");
  EXPECT_EQ(FormatNumber(0.1f * 100.0), "10.00000014901");
  EXPECT_EQ(FormatNumber(12345678901234.0), "1.234567890123e+13");
  EXPECT_EQ(FormatNumber(-0.5), "-0.5");
  EXPECT_EQ(FormatNumber(4.94), "4.94");
}

// Switches the process's numeric locale to one with a decimal comma for the
// test's length; the locale is compiled into a temporary folder when the
// machine has none installed.
class DecimalCommaLocale {
 public:
  DecimalCommaLocale() {
#if defined(_WIN32)
    // Windows has its locales built in, under their own names.
    if (std::setlocale(LC_NUMERIC, "de-DE") == nullptr) std::setlocale(LC_NUMERIC, "German");
#else
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) return;
    folder_ = std::filesystem::temp_directory_path() /
              ("tw-locale-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(folder_);
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + (folder_ / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) == 0) {
      setenv("LOCPATH", folder_.c_str(), 1);
      std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    }
#endif
  }
  ~DecimalCommaLocale() {
    std::setlocale(LC_NUMERIC, "C");
#if !defined(_WIN32)
    unsetenv("LOCPATH");
#endif
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }
  bool active() const { return std::localeconv()->decimal_point[0] == ','; }

 private:
  std::filesystem::path folder_;
};

TEST(FormatNumber, IgnoresTheProcessLocale) {
  DecimalCommaLocale locale;
  if (!locale.active()) GTEST_SKIP() << "no locale with a decimal comma could be made (localedef)";
  EXPECT_EQ(FormatNumber(12.35), "12.35");
  EXPECT_EQ(FormatNumber(0.3), "0.3");
  EXPECT_EQ(FormatNumber(1.5e20), "1.5e+20");
}

}  // namespace
}  // namespace tw
