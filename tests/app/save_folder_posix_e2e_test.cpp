// The save folder's separator rule with a folder chosen in the browser: one
// that ends in "/" already is shown with it, and the confirmation shows the
// one path the file then lands at.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/app/road_steps.h"

namespace tw::testing {
namespace {

namespace fs = std::filesystem;

TEST(SaveFolder, ChosenFolderEndingInSlashGivesOneSlash) {
  constexpr std::size_t kSize = 300000;
  Standin standin({"--size", std::to_string(kSize)});
  Session session;
  session.UseStandin(standin);
  const fs::path chosen = session.dir() / "镜像";
  fs::create_directories(chosen);
  ASSERT_EQ(
      session.Run(
          kStart + "answer-browse " + chosen.string() + "/\nclick text=选择保存位置\n" +
          "wait ^browse\nanswer-browse-cancel\nclick text=选择保存位置\nwait ^browse.*-> $\n" +
          Download("iso") + "wait ^msgbox.下载完成 20000\nclose\n"),
      0)
      << session.StandardError();
  const Record r = session.record();
  const auto browses = r.Starting("browse ");
  ASSERT_EQ(browses.size(), 2u);
  EXPECT_EQ(browses[0], "browse \t\t1\t-> " + chosen.string() + "/");
  // The cancelled browser kept the folder.
  EXPECT_EQ(r.Last("text", r.ByKind("label", 3)), chosen.string() + "/");
  EXPECT_EQ(BoxesTitled(r, "请您核对文件名：").at(0),
            "msgbox 请您核对文件名：\t" + chosen.string() + "/iso.iso\t确认&&取消\t-> 0");
  EXPECT_TRUE(HoldsServedBytes(chosen / "iso.iso", kSize));
}

}  // namespace
}  // namespace tw::testing
