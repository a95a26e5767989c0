// A FAT drive holds no file of 4 GiB or more: the Windows program refuses
// such a download there before its first byte, and still takes smaller ones.
// The drive F: is made by scripts/test-windows.sh (a FAT image on a loop
// device, which Wine reads the file system from), which names its folder in
// TW_WINE_FAT_FOLDER.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/road_steps.h"

namespace tw::testing {
namespace {

namespace fs = std::filesystem;

const std::string kOnF = "answer-browse F:\\\nclick text=选择保存位置\nwait ^browse\n";

TEST(FatVolume, AFileOf4GiBOrMoreIsRefusedBeforeItsFirstByte) {
  const char* folder = std::getenv("TW_WINE_FAT_FOLDER");  // NOLINT(concurrency-mt-unsafe)
  if (folder == nullptr)
    GTEST_SKIP() << "no FAT drive F: (scripts/test-windows.sh makes one as root)";
  {
    Standin standin({"--big-size"});
    Session session;
    session.UseStandin(standin);
    ASSERT_EQ(session.Run(kStart + kOnF + Download("big") + "wait ^msgbox.下载失败 20000\n" +
                          kIdleAgain + "close\n"),
              0)
        << session.StandardError();
    EXPECT_EQ(BoxesTitled(session.record(), "下载失败"),
              std::vector<std::string>{
                  "msgbox 下载失败\t目标磁盘是 FAT 格式，无法保存 4GB 及以上的文件。\t确认\t-> 0"});
    EXPECT_FALSE(fs::exists(fs::path(folder) / "big.iso.part"));
  }
  constexpr std::size_t kSize = 300000;
  Standin standin({"--size", std::to_string(kSize)});
  Session session;
  session.UseStandin(standin);
  ASSERT_EQ(session.Run(kStart + kOnF + Download("small") + "wait ^msgbox.下载完成 20000\nclose\n"),
            0)
      << session.StandardError();
  EXPECT_TRUE(HoldsServedBytes(fs::path(folder) / "small.iso", kSize));
}

}  // namespace
}  // namespace tw::testing
