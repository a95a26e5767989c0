// The save folder's separator rule on Windows, where only a drive root ends
// in a backslash: the browser's "T:\" is shown as it is and the file lands in it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "tests/app/road_steps.h"

namespace tw::testing {
namespace {

namespace fs = std::filesystem;

// A drive letter of the test's prefix mapped to a folder of this session, for
// as long as the test runs.
class MappedDrive {
 public:
  MappedDrive(char letter, const fs::path& folder) {
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix == nullptr) return;
    link_ = fs::path(prefix) / "dosdevices" / (std::string(1, letter) + ":");
    std::error_code error;
    fs::remove(link_, error);
    fs::create_directory_symlink(folder, link_, error);
    if (error) link_.clear();
  }
  ~MappedDrive() {
    std::error_code ignored;
    if (!link_.empty()) fs::remove(link_, ignored);
  }
  bool mapped() const { return !link_.empty(); }

 private:
  fs::path link_;
};

TEST(SaveFolder, DriveRootGivesOneBackslash) {
  constexpr std::size_t kSize = 300000;
  Standin standin({"--size", std::to_string(kSize)});
  Session session;
  session.UseStandin(standin);
  const fs::path root = session.dir() / "drive";
  fs::create_directories(root);
  const MappedDrive drive('t', root);
  ASSERT_TRUE(drive.mapped()) << "WINEPREFIX names no prefix to map T: in";
  ASSERT_EQ(session.Run(kStart + "answer-browse T:\\\nclick text=选择保存位置\nwait ^browse\n" +
                        Download("root") + "wait ^msgbox.下载完成 20000\nclose\n"),
            0)
      << session.StandardError();
  const Record r = session.record();
  EXPECT_EQ(r.Last("text", r.ByKind("label", 3)), Recorded("T:\\"));
  EXPECT_EQ(BoxesTitled(r, "请您核对文件名：").at(0),
            "msgbox 请您核对文件名：\t" + Recorded("T:\\\\root.iso") + "\t确认&&取消\t-> 0");
  EXPECT_TRUE(HoldsServedBytes(root / "root.iso", kSize));
}

}  // namespace
}  // namespace tw::testing
