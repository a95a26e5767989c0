// The program's window, catalog and buttons, driven through the scripted engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>

#include "tests/app/road_steps.h"
#include "tests/app/tarnwick_session.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace tw::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kQuit[] = "close\n";

TEST(Startup, WindowThenCatalogOnceAfterTheTimer) {
  Session session;
  // The pause gives a second tick, which must not come, the time to show.
  ASSERT_EQ(session.Run("wait ^selected\nsleep 300\n" + std::string(kQuit)), 0)
      << session.StandardError();
  const Record r = session.record();
  const int frame = r.Frame();
  const int list = r.List();
  ASSERT_NE(frame, 0);
  ASSERT_NE(list, 0);
  EXPECT_EQ(r.Last("text", frame), "Tarnwick");
  EXPECT_NE(r.Find("control " + std::to_string(frame) + " window 0 50 50 522 442"), -1);

  // The list stays empty until the timer has ticked and stopped itself.
  const int shown = r.Find("shown " + std::to_string(frame));
  const int firstColumn = r.Find("column " + std::to_string(list));
  ASSERT_NE(shown, -1);
  ASSERT_GT(firstColumn, shown);
  const int tick = r.Find("tick ");
  ASSERT_NE(tick, -1);
  ASSERT_LT(tick, firstColumn);
  const std::string timerId = r.lines()[tick].substr(5);
  const int stopped = r.Find("timer " + timerId + " 0", tick);
  ASSERT_NE(stopped, -1);
  EXPECT_LT(stopped, firstColumn);

  // Loaded exactly once: three columns, four rows, link column hidden.
  const std::string l = std::to_string(list);
  const auto columns = r.Starting("column " + l + " ");
  ASSERT_EQ(columns.size(), 3u);
  EXPECT_EQ(columns[0], "column " + l + " 0 204 系统镜像");  // trunc(492 / 3 + 40)
  EXPECT_EQ(columns[1], "column " + l + " 1 204 大小");
  EXPECT_EQ(columns[2], "column " + l + " 2 0 链接");
  EXPECT_EQ(r.Starting("row " + l + " ").size(), 4u);
  EXPECT_EQ(r.Starting("tick ").size(), 1u);
  EXPECT_EQ(r.Last("selected", list), "0");

  // Screen readers hear the controls without a caption by these names, and the
  // status line as it changes; the captions name themselves.
  const int folderLine = r.ByKind("label", 3);
  ASSERT_EQ(r.Last("text", folderLine),
            Session::ProgramPath(session.documents()) + Session::kSeparator + "下载的系统镜像");
  EXPECT_EQ(r.Last("name", list), "系统镜像列表");
  EXPECT_EQ(r.Last("name", r.ByKind("progress")), "下载进度");
  EXPECT_EQ(r.Last("name", folderLine), "保存位置");
  EXPECT_EQ(r.Starting("name ").size(), 3u);
  const auto live = r.Starting("live ");
  ASSERT_EQ(live.size(), 1u);
  EXPECT_EQ(live[0], "live " + std::to_string(r.CaptionOf("0B/s    00:00:00    -")) + " 1");
}

TEST(Startup, CatalogRowsInOrderWithTheirLinks) {
  Session session;
  session.ShareHost("share.example:8443");
  ASSERT_EQ(session.Run("wait ^selected\n" + std::string(kQuit)), 0);
  const Record r = session.record();
  const std::string l = std::to_string(r.List());
  const auto cells = r.Starting("cell " + l + " ");
  ASSERT_EQ(cells.size(), 12u);
  const char* names[] = {"win10多版本2004 64位（推荐）", "win10多版本1909 64位",
                         "win10多版本1903 64位", "win7旗舰最新版64位"};
  const char* sizes[] = {"4.94GB", "5.14GB", "5.02GB", "3.19GB"};
  std::vector<std::string> codes;
  for (int row = 0; row < 4; ++row) {
    const std::string p = "cell " + l + " " + std::to_string(row) + " ";
    // Written name, size, link.
    EXPECT_EQ(cells[row * 3], p + "0 " + names[row]);
    EXPECT_EQ(cells[row * 3 + 1], p + "1 " + sizes[row]);
    const std::string link = cells[row * 3 + 2].substr(p.size() + 2);
    const std::string prefix = "https://share.example:8443/t/";
    ASSERT_EQ(link.rfind(prefix, 0), 0u) << link;
    const std::string code = link.substr(prefix.size());
    EXPECT_EQ(code.size(), 12u);
    for (char c : code) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << link;
    codes.push_back(code);
  }
  std::sort(codes.begin(), codes.end());
  EXPECT_EQ(std::unique(codes.begin(), codes.end()), codes.end());
}

TEST(Startup, SaveFolderIsTheDocumentsFolderOrTheBareName) {
  Session withDocs;
  ASSERT_EQ(withDocs.Run("wait ^selected\n" + std::string(kQuit)), 0);
  const Record r = withDocs.record();
  const int label = r.ByKind("label", 3);  // after the three button captions
  EXPECT_EQ(r.Last("text", label), withDocs.documents().string() + "/下载的系统镜像");
  EXPECT_FALSE(fs::exists(withDocs.documents() / "下载的系统镜像"));  // named, never created

  Session without;
  without.UseDocuments(false);
  ASSERT_EQ(without.Run("wait ^selected\n" + std::string(kQuit)), 0);
  const Record r2 = without.record();
  EXPECT_EQ(r2.Last("text", r2.ByKind("label", 3)), "下载的系统镜像");
}

TEST(Toolbar, AboutHelpAndOtherButtons) {
  Session session;
  // Buttons 2 and -1 must open nothing; the pause gives a box the time to show.
  ASSERT_EQ(session.Run("wait ^selected\ntoolbar 0\nwait ^msgbox\ntoolbar 1\nwait ^sysbox\n"
                        "toolbar 2\ntoolbar -1\nsleep 200\n" +
                        std::string(kQuit)),
            0);
  const Record r = session.record();
  const auto boxes = r.Starting("msgbox ");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("msgbox 关于\t", 0), 0u);
  EXPECT_NE(boxes[0].find("\t确定\t-> "), std::string::npos);
  const auto system = r.Starting("sysbox ");
  ASSERT_EQ(system.size(), 1u);
  EXPECT_EQ(
      system[0],
      "sysbox 帮助\t本工具使用天翼云直链获取系统镜像文件，然后下载，用的是MSDN我告诉你的系统镜像。"
      "下载帮助：例如：输入，win10 2004 64  点击确认就可以下载了，你得先保存下载位置，能保存到"
      "桌面就桌面，建议保存到桌面，因为这样好安装，好找。或者你在桌面上新建文件夹也可以，没有什么"
      "BUG就不修复更新了，因为没有检测更新功能，有问题请加QQ或发邮箱，本工具永久免费，谢谢使用。");
  EXPECT_EQ(r.Starting("inputbox ").size(), 0u);
}

TEST(BusyState, CoversExactlyTheListAndTwoButtons) {
  Session session;
  ASSERT_EQ(session.Run("wait ^selected\nanswer-input-dismiss\nclick text=选定下载\n"
                        "wait ^inputbox\n" +
                        kIdleAgain + kQuit),
            0);
  const Record r = session.record();
  std::vector<int> expected{r.List(), r.FaceOf("选定下载"), r.CaptionOf("选定下载"),
                            r.FaceOf("选择保存位置"), r.CaptionOf("选择保存位置")};
  std::sort(expected.begin(), expected.end());
  std::vector<int> disabled, enabled;
  for (const std::string& line : r.Starting("enabled ")) {
    std::istringstream in(line.substr(8));
    int id = 0, on = 0;
    in >> id >> on;
    (on ? enabled : disabled).push_back(id);
  }
  std::sort(disabled.begin(), disabled.end());
  std::sort(enabled.begin(), enabled.end());
  EXPECT_EQ(disabled, expected);
  EXPECT_EQ(enabled, expected);
  // Busy before the box, idle after it.
  EXPECT_LT(r.Find("enabled "), r.Find("inputbox "));
  EXPECT_GT(r.Find("enabled " + std::to_string(r.List()) + " 1"), r.Find("inputbox "));
}

TEST(Hover, SlidesEndAtTheirLevelsAndNestedSlidesContinueFromTheInnerOne) {
  Session session;
  ASSERT_EQ(
      session.Run("wait ^selected\nhover text=取消下载 1\nsleep 300\n"
                  "hover text=选择保存位置 1\nsleep 300\nhover text=选择保存位置 0\nsleep 300\n"
                  "hover text=选定下载 1 0\nsleep 500\n" +
                  std::string(kQuit)),
      0);
  const Record r = session.record();
  EXPECT_EQ(r.Last("hover", r.FaceOf("取消下载")), "8");
  EXPECT_EQ(r.Last("hover", r.FaceOf("选择保存位置")), "0");
  // The rising slide's first step runs the falling slide to 0 inside it; its
  // seven remaining steps then rise from there.
  EXPECT_EQ(r.Last("hover", r.FaceOf("选定下载")), "7");
}

TEST(MissingEngine, ExitsWithAMessageNamingThePlacesTried) {
  const TempFolder folder("no_engine");
  const fs::path& dir = folder.dir();
  // A copy of the program away from the build's library folder.
  fs::copy_file(TARNWICK_PATH, dir / "tarnwick");
  ChildProcess program((dir / "tarnwick").string(), {{}, {}, dir.string(), false});
  const std::optional<int> code = program.Wait(std::chrono::seconds(30));
  ASSERT_TRUE(code.has_value());
  EXPECT_NE(*code, 0);
  EXPECT_NE(program.StandardError().find(dir.string() + "/libUiEngine.so"), std::string::npos)
      << program.StandardError();
  EXPECT_NE(program.StandardError().find("/etc/UiEngine.ini"), std::string::npos);
}

}  // namespace
}  // namespace tw::testing
