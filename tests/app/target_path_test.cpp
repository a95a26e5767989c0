// The typed file name becomes one that every system holds as a file, and the
// target path is the same text for the confirmation and for the download.
#include "app/target_path.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "script/regex_object.h"
#include "text/convert.h"
#include "text/path_separator.h"

namespace tw {
namespace {

Text Clean(const Text& typed) {
  RegexObject regex;
  return CleanFileName(regex, typed);
}

TEST(CleanFileName, IllegalCharactersBecomeUnderscoresAndBlanksGo) {
  EXPECT_EQ(Clean("a/b:c"), "a_b_c");
  EXPECT_EQ(Clean(" iso "), "iso");
  EXPECT_EQ(Clean("win10.iso"), "win10.iso");  // the extension is appended all the same
  EXPECT_EQ(Clean("\\|/*?<>:\""), "_________");
  EXPECT_EQ(Clean(Utf8ToGbk("　系统 镜像　")), Utf8ToGbk("系统 镜像"));
  EXPECT_EQ(Clean(Utf8ToGbk("  　 ")), "");
  // Second bytes that look like a backslash or a bar belong to their characters.
  EXPECT_EQ(Clean("\x81\x5C\x81\x7C"), "\x81\x5C\x81\x7C");
}

TEST(CleanFileName, ControlCharactersBecomeUnderscores) {
  EXPECT_EQ(Clean("a\tb\r\nc\x1F\x7F"), "a_b__c__");
  // A control character is no blank: it stays, as "_", where blanks would go.
  EXPECT_EQ(Clean("\tx."), "_x");
  EXPECT_EQ(Clean(Utf8ToGbk("镜像\x01")), Utf8ToGbk("镜像_"));
}

TEST(CleanFileName, TrailingDotsAndBlanksGoAndMayLeaveNothing) {
  EXPECT_EQ(Clean("win10."), "win10");
  EXPECT_EQ(Clean("win10. .. "), "win10");
  EXPECT_EQ(Clean(Utf8ToGbk("镜像.　.")), Utf8ToGbk("镜像"));
  // 0xB0 0xA1 and the full-width blank 0xA1 0xA1 after it: the blank goes,
  // the character stays whole.
  EXPECT_EQ(Clean("\xB0\xA1\xA1\xA1."), "\xB0\xA1");
  EXPECT_EQ(Clean("a.b"), "a.b");
  EXPECT_EQ(Clean(".hidden"), ".hidden");
  EXPECT_EQ(Clean("..."), "");
  EXPECT_EQ(Clean(Utf8ToGbk(". 　.")), "");
}

TEST(CleanFileName, DeviceNamesGetAnUnderscoreInFront) {
  std::vector<std::string> devices = {"CON", "PRN", "AUX", "NUL"};
  for (char n = '1'; n <= '9'; ++n) {
    devices.push_back(std::string("COM") + n);
    devices.push_back(std::string("LPT") + n);
  }
  for (const std::string& device : devices) {
    SCOPED_TRACE(device);
    Text lower = device;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    Text mixed = lower;
    mixed[0] = device[0];
    EXPECT_EQ(Clean(device), "_" + device);
    EXPECT_EQ(Clean(lower), "_" + lower);
    EXPECT_EQ(Clean(mixed + ".iso"), "_" + mixed + ".iso");
    EXPECT_EQ(Clean(device + ".tar.gz"), "_" + device + ".tar.gz");
    EXPECT_EQ(Clean(device + " .x"), "_" + device + " .x");  // Windows ignores the blank
    EXPECT_EQ(Clean(" " + device + ". "), "_" + device);
  }
  // Names that only begin or end like a device's are files already.
  for (const char* file : {"CONSOLE", "COM0", "COM10", "LPT", "NULL", "AUX1", "xNUL", "N UL",
                           "COM1x.iso", "a.CON", "_NUL"}) {
    EXPECT_EQ(Clean(file), file);
  }
  EXPECT_EQ(Clean(Utf8ToGbk("NUL镜像")), Utf8ToGbk("NUL镜像"));
}

TEST(EndsWithSeparator, OnlyASeparatorOfItsOwnCounts) {
  EXPECT_TRUE(EndsWithSeparator(Text("a") + kPathSeparator));
  EXPECT_FALSE(EndsWithSeparator("a"));
  EXPECT_FALSE(EndsWithSeparator(""));
  // The separator's byte as the second byte of a two-byte character.
  EXPECT_FALSE(EndsWithSeparator(Text("a\x81") + kPathSeparator));
}

// Each system joins with its own separator: a backslash on Windows, "/" on
// POSIX systems.
#if defined(_WIN32)
TEST(DownloadTargetPath, DoubledBackslashesCollapseOnce) {
  EXPECT_EQ(DownloadTargetPath("C:\\Users\\u\\Docs", "a_b_c"), "C:\\Users\\u\\Docs\\a_b_c.iso");
  EXPECT_EQ(DownloadTargetPath("D:\\", "win"), "D:\\win.iso");
  EXPECT_EQ(DownloadTargetPath("a\\\\\\", "x"), "a\\\\x.iso");  // one pass, left to right
  // A folder ending in a character whose second byte is 0x5C, the backslash's
  // code: that byte and the separator are no doubled backslash.
  const Text folder = "D:\\\x81\x5C";
  EXPECT_EQ(DownloadTargetPath(folder, "x"), folder + "\\x.iso");
  const Text name = Utf8ToGbk("系统");
  EXPECT_EQ(DownloadTargetPath("D:\\d", name), "D:\\d\\" + name + ".iso");
}

TEST(DownloadTargetPath, ANetworkPathKeepsItsLeadingPair) {
  EXPECT_EQ(DownloadTargetPath("\\\\server\\share\\ISO", "x"), "\\\\server\\share\\ISO\\x.iso");
  EXPECT_EQ(DownloadTargetPath("\\\\server\\share\\", "x"), "\\\\server\\share\\x.iso");
  EXPECT_EQ(DownloadTargetPath("\\\\server\\share\\\\ISO", "x"), "\\\\server\\share\\ISO\\x.iso");
  EXPECT_EQ(DownloadTargetPath("\\\\?\\D:\\ISO", "x"), "\\\\?\\D:\\ISO\\x.iso");
}
#else
TEST(DownloadTargetPath, DoubledSlashesCollapseOnce) {
  EXPECT_EQ(DownloadTargetPath("/home/u/Docs", "a_b_c"), "/home/u/Docs/a_b_c.iso");
  EXPECT_EQ(DownloadTargetPath("/mnt/usb/", "win"), "/mnt/usb/win.iso");
  EXPECT_EQ(DownloadTargetPath("/", "x"), "/x.iso");
  EXPECT_EQ(DownloadTargetPath("a///", "x"), "a//x.iso");         // one pass, left to right
  EXPECT_EQ(DownloadTargetPath("//srv/d", "x"), "/srv/d/x.iso");  // no network prefix here
  const Text name = Utf8ToGbk("系统");
  EXPECT_EQ(DownloadTargetPath("/d", name), "/d/" + name + ".iso");
}
#endif

}  // namespace
}  // namespace tw
