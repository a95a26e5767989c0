// The download road through tarnwick.exe under Wine, with the scripted engine
// as UiEngine.dll and the stand-in as a process of this machine: what differs
// on Windows is the transport, the file calls and the paths with "\".
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "tests/app/road_steps.h"

namespace tw::testing {
namespace {

namespace fs = std::filesystem;

// Backslashes as the record writes them.
std::string Recorded(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return out;
}

std::string ProgramFolder(const Session& session) {
  return Session::ProgramPath(session.documents() / "下载的系统镜像");
}

void ExpectIdle(const Record& r) {
  for (int id : {r.List(), r.FaceOf("选定下载"), r.FaceOf("选择保存位置")}) {
    EXPECT_EQ(r.Last("enabled", id), "1") << "control " << id;
  }
}

TEST(WineRoad, CompleteDownloadArrivesByteForByte) {
  constexpr std::size_t kSize = 3 * 1048576;
  Standin standin({"--size", std::to_string(kSize), "--throttle", std::to_string(2 * 1048576)});
  ASSERT_NE(standin.port(), 0);
  Session session;
  session.ShareHost(standin.Host());
  ASSERT_EQ(session.Run(kStart + Download("a/b:c") + "wait ^msgbox.下载完成 40000\n" + kIdleAgain +
                        "close\n"),
            0)
      << session.StandardError();
  const Record r = session.record();
  EXPECT_EQ(BoxesTitled(r, "请您核对文件名：").at(0),
            "msgbox 请您核对文件名：\t" + Recorded(ProgramFolder(session) + "\\a_b_c.iso") +
                "\t确认&&取消\t-> 0");
  EXPECT_TRUE(HoldsServedBytes(session.documents() / "下载的系统镜像" / "a_b_c.iso", kSize));
  EXPECT_EQ(BoxesTitled(r, "下载完成").size(), 1u);
  EXPECT_EQ(r.Last("value", r.ByKind("progress")), "100");
  ExpectIdle(r);
}

TEST(WineRoad, CancelMidwayKeepsThePartWritten) {
  constexpr std::size_t kSize = 32 * 1048576;
  Standin standin({"--size", std::to_string(kSize), "--throttle", std::to_string(1048576)});
  Session session;
  session.ShareHost(standin.Host());
  ASSERT_EQ(session.Run(kStart + Download("part") + "wait MB/s   [1-9]\\d*MB$ 20000\n" +
                        "click text=取消下载\n" + kIdleAgain + "close\n"),
            0)
      << session.StandardError();
  const Record r = session.record();
  EXPECT_TRUE(BoxesTitled(r, "下载完成").empty());
  EXPECT_TRUE(BoxesTitled(r, "下载失败").empty());
  const fs::path part = session.documents() / "下载的系统镜像" / "part.iso.part";
  const std::size_t written = ReadFile(part).size();
  EXPECT_GT(written, 0u);
  EXPECT_LT(written, kSize);
  EXPECT_TRUE(HoldsServedBytes(part, written));
  ExpectIdle(r);
}

TEST(WineRoad, DropMidTransferFailsAndSaysWhy) {
  Standin standin({"--size", std::to_string(4 * 1048576), "--drop-after", std::to_string(524288),
                   "--throttle", std::to_string(2 * 1048576), "--no-ranges"});
  Session session;
  session.ShareHost(standin.Host());
  ASSERT_EQ(session.Run(kStart + Download("one") + "wait ^msgbox.下载失败 20000\n" + kIdleAgain +
                        "close\n"),
            0)
      << session.StandardError();
  const Record r = session.record();
  EXPECT_EQ(BoxesTitled(r, "下载失败"),
            std::vector<std::string>{"msgbox 下载失败\t连接中断，服务器不支持续传。\t确认\t-> 0"});
  EXPECT_FALSE(fs::exists(session.documents() / "下载的系统镜像" / "one.iso"));
  ExpectIdle(r);
}

TEST(WineRoad, PageWithoutTheMarkerFails) {
  Standin standin({"--no-marker"});
  Session session;
  session.ShareHost(standin.Host());
  ASSERT_EQ(session.Run(kStart + Download("x") + "wait ^msgbox.下载失败 20000\n" + kIdleAgain +
                        "close\n"),
            0)
      << session.StandardError();
  EXPECT_EQ(BoxesTitled(session.record(), "下载失败"),
            std::vector<std::string>{"msgbox 下载失败\t无法解析分享链接。\t确认\t-> 0"});
  EXPECT_FALSE(fs::exists(session.documents() / "下载的系统镜像"));
}

TEST(WineRoad, AbandonedRequestsDownloadNothing) {
  Standin standin;
  Session session;
  session.ShareHost(standin.Host());
  ASSERT_EQ(session.Run(kStart +
                        "answer-input-dismiss\nclick text=选定下载\nwait ^inputbox\n"
                        "answer-input 　　\nclick text=选定下载\nwait ^msgbox\n" +
                        Download("kept", 1) + "wait 请您核对文件名\n" + kIdleAgain + "close\n"),
            0)
      << session.StandardError();
  const Record r = session.record();
  EXPECT_EQ(r.Starting("inputbox ").size(), 3u);
  EXPECT_EQ(BoxesTitled(r, "  "),
            std::vector<std::string>{"msgbox   \t你还没输入文件名，无法继续\t确认\t-> 0"});
  EXPECT_TRUE(BoxesTitled(r, "请您核对文件名：").at(0).ends_with("-> 1"));
  EXPECT_TRUE(BoxesTitled(r, "下载失败").empty());
  EXPECT_FALSE(fs::exists(session.documents() / "下载的系统镜像"));
  ExpectIdle(r);
}

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

TEST(WineRoad, DriveRootFolderGivesOneBackslash) {
  constexpr std::size_t kSize = 300000;
  Standin standin({"--size", std::to_string(kSize)});
  Session session;
  session.ShareHost(standin.Host());
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
