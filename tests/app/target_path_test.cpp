// The target path: the same text for the confirmation and for the download.
#include "app/target_path.h"

#include <gtest/gtest.h>

#include "text/convert.h"
#include "text/path_separator.h"

namespace tw {
namespace {

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
