// The save folder's separator rules on Windows, where a drive root ends in a
// backslash and a network path starts with two: the confirmation shows the
// one path the file then lands at.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "tests/app/road_steps.h"

namespace tw::testing {
namespace {

namespace fs = std::filesystem;

// A link in the test's prefix to a folder of this session, for as long as the
// test runs: "dosdevices/t:" makes a drive T:, and Wine reaches a network path
// \\<server>\<share> through "dosdevices/unc/<server>/<share>".
class PrefixLink {
 public:
  PrefixLink(const fs::path& inPrefix, const fs::path& folder) {
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix == nullptr) return;
    link_ = fs::path(prefix) / inPrefix;
    std::error_code error;
    fs::remove(link_, error);
    fs::create_directories(link_.parent_path(), error);
    fs::create_directory_symlink(folder, link_, error);
    if (error) link_.clear();
  }
  ~PrefixLink() {
    std::error_code ignored;
    if (!link_.empty()) fs::remove(link_, ignored);
  }
  bool made() const { return !link_.empty(); }

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
  const PrefixLink drive(fs::path("dosdevices") / "t:", root);
  ASSERT_TRUE(drive.made()) << "WINEPREFIX names no prefix to map T: in";
  ASSERT_EQ(session.Run(kStart + "answer-browse T:\\\nclick text=选择保存位置\nwait ^browse\n" +
                        Download("root") + "wait ^msgbox.下载完成 20000\nclose\n"),
            0)
      << session.StandardError();
  const Record r = session.record();
  EXPECT_EQ(r.Last("text", r.ByKind("label", 3)), Recorded("T:\\"));
  EXPECT_EQ(BoxesTitled(r, "请您核对文件名：").at(0),
            "msgbox 请您核对文件名：\t" + Recorded("T:\\root.iso") + "\t确认&&取消\t-> 0");
  EXPECT_TRUE(HoldsServedBytes(root / "root.iso", kSize));
}

TEST(SaveFolder, NetworkFolderAndDeviceNameLandWhereConfirmed) {
  constexpr std::size_t kSize = 300000;
  Standin standin({"--size", std::to_string(kSize)});
  Session session;
  session.ShareHost(standin.Host());
  const fs::path shared = session.dir() / "share";
  fs::create_directories(shared);
  // Named for the session: the Wine tests share one prefix and run at once.
  const std::string name = session.dir().filename().string();
  const PrefixLink share(fs::path("dosdevices") / "unc" / "localhost" / name, shared);
  ASSERT_TRUE(share.made()) << "WINEPREFIX names no prefix to map a share in";
  // Typed into the browser's edit box; the folder does not exist yet.
  const std::string folder = "\\\\localhost\\" + name + "\\ISO";
  ASSERT_EQ(
      session.Run(kStart + "answer-browse " + folder + "\nclick text=选择保存位置\nwait ^browse\n" +
                  Download("nul.") + "wait ^msgbox.下载完成 20000\nclose\n"),
      0)
      << session.StandardError();
  const Record r = session.record();
  EXPECT_EQ(BoxesTitled(r, "请您核对文件名：").at(0),
            "msgbox 请您核对文件名：\t" + Recorded(folder + "\\_nul.iso") + "\t确认&&取消\t-> 0");
  EXPECT_TRUE(HoldsServedBytes(shared / "ISO" / "_nul.iso", kSize));
  EXPECT_TRUE(fs::exists(shared / "ISO" / "_nul.iso.sha256"));
}

}  // namespace
}  // namespace tw::testing
