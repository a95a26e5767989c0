// The whole download road through the real program: name, folder, resolution,
// transfer, progress, completion, failure and cancel. The same cases run the
// native program and, under Wine, the Windows one.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/app/road_steps.h"

namespace tw::testing {
namespace {

namespace fs = std::filesystem;

// The five controls of the busy state are enabled again at the end.
void ExpectIdle(const Record& r) {
  for (int id : {r.List(), r.FaceOf("选定下载"), r.CaptionOf("选定下载"), r.FaceOf("选择保存位置"),
                 r.CaptionOf("选择保存位置")}) {
    EXPECT_EQ(r.Last("enabled", id), "1") << "control " << id;
  }
}

std::vector<std::string> StatusTexts(const Record& r) {
  std::vector<std::string> texts;
  const std::string prefix = "text " + std::to_string(r.ByKind("label", 4)) + " ";
  for (const std::string& line : r.Starting(prefix)) texts.push_back(line.substr(prefix.size()));
  return texts;
}

TEST(DownloadRoad, CompleteDownloadArrivesWithItsBytesAndSaysSo) {
  constexpr std::size_t kSize = 6 * 1048576;
  Standin standin({"--size", std::to_string(kSize), "--throttle", std::to_string(3 * 1048576)});
  ASSERT_NE(standin.port(), 0);
  Session session;
  session.UseStandin(standin);
  ASSERT_EQ(session.Run(kStart + Download("a/b:c") + "wait ^msgbox.下载完成 40000\n" + kIdleAgain +
                        "close\n"),
            0)
      << session.StandardError();
  const Record r = session.record();

  const fs::path folder = session.documents() / "下载的系统镜像";
  EXPECT_EQ(r.Starting("inputbox ").at(0), "inputbox 请输入文件名：\t确认\t-> a/b:c\t0");
  const auto confirm = BoxesTitled(r, "请您核对文件名：");
  ASSERT_EQ(confirm.size(), 1u);
  EXPECT_EQ(confirm[0],
            "msgbox 请您核对文件名：\t" + ShownPath(folder, "a_b_c.iso") + "\t确认&&取消\t-> 0");
  EXPECT_TRUE(HoldsServedBytes(folder / "a_b_c.iso", kSize));

  const std::regex format(R"(^\d+(\.\d{1,2})?%   -?\d+(\.\d)?MB/s   \d+(\.\d{1,2})?(MB|GB)$)");
  const auto texts = StatusTexts(r);
  ASSERT_GE(texts.size(), 3u);  // the initial text, the start, at least one more
  for (std::size_t i = 1; i < texts.size(); ++i) {
    EXPECT_TRUE(std::regex_match(texts[i], format)) << texts[i];
    EXPECT_EQ(texts[i].find("-"), std::string::npos) << "negative speed: " << texts[i];
  }
  EXPECT_EQ(texts.back().substr(0, 7), "100%   ");
  EXPECT_TRUE(texts.back().ends_with("   6MB")) << texts.back();
  EXPECT_EQ(r.Last("value", r.ByKind("progress")), "100");
  const auto done = BoxesTitled(r, "下载完成");
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0], "msgbox 下载完成\t下载完成\t确认\t-> 0");
  EXPECT_TRUE(BoxesTitled(r, "下载失败").empty());
  ExpectIdle(r);
  // Busy from the request until the completion box is closed.
  EXPECT_LT(r.Find("enabled " + std::to_string(r.List()) + " 0"), r.Find("inputbox "));
  EXPECT_GT(r.Find("enabled " + std::to_string(r.List()) + " 1"), r.Find("msgbox 下载完成"));
}

TEST(DownloadRoad, CancelReturnsToIdleAndKeepsWhatWasWritten) {
  constexpr std::size_t kSize = 64 * 1048576;
  Standin standin({"--size", std::to_string(kSize), "--throttle", std::to_string(1048576)});
  Session session;
  session.UseStandin(standin);
  ASSERT_EQ(session.Run(kStart + Download("part") + "wait MB/s   [1-9]\\d*MB$ 20000\n" +
                        "click text=取消下载\n" + kIdleAgain + "close\n"),
            0)
      << session.StandardError();
  const Record r = session.record();
  EXPECT_TRUE(BoxesTitled(r, "下载完成").empty());
  EXPECT_TRUE(BoxesTitled(r, "下载失败").empty());
  ExpectIdle(r);
  // What arrived stays in the part file; nothing is under the name.
  const fs::path file = session.documents() / "下载的系统镜像" / "part.iso";
  const std::string bytes = ReadFile(file.string() + ".part");
  EXPECT_GT(bytes.size(), 0u);
  EXPECT_LT(bytes.size(), kSize);
  EXPECT_TRUE(HoldsServedBytes(file.string() + ".part", bytes.size()));
  EXPECT_FALSE(fs::exists(file));
}

TEST(DownloadRoad, AFailedDownloadKeepsItsPartAndTheNextDownloadCanStart) {
  // Throttled so that each drop comes well after the script waits for it;
  // expiring links, so after one renewal the next continuation finds the file gone.
  Standin standin({"--size", std::to_string(8 * 1048576), "--drop-after", std::to_string(1048576),
                   "--throttle", std::to_string(4 * 1048576), "--expiring-links"});
  Session session;
  session.UseStandin(standin);
  ASSERT_EQ(
      session.Run(kStart + Download("one") + "wait ^msgbox.下载失败 20000\n" + kIdleAgain +
                  Download("two") + "wait-new ^msgbox.下载失败 20000\n" + kIdleAgain + "close\n"),
      0)
      << session.StandardError();
  const Record r = session.record();
  const auto failed = BoxesTitled(r, "下载失败");
  ASSERT_EQ(failed.size(), 2u);
  EXPECT_EQ(failed[0], "msgbox 下载失败\t服务器已不再提供此文件。\t确认\t-> 0");
  EXPECT_TRUE(BoxesTitled(r, "下载完成").empty());
  // The second download ran (it wrote its part), so id 1 was free again.
  const fs::path folder = session.documents() / "下载的系统镜像";
  EXPECT_TRUE(fs::exists(folder / "two.iso.part"));
  EXPECT_LT(fs::file_size(folder / "one.iso.part"), 8u * 1048576);
  EXPECT_FALSE(fs::exists(folder / "one.iso"));
  ExpectIdle(r);
}

TEST(DownloadRoad, UnresolvableShareLinkFails) {
  Standin standin({"--no-marker"});
  Session session;
  session.UseStandin(standin);
  ASSERT_EQ(session.Run(kStart + Download("x") + "wait ^msgbox.下载失败 20000\n" + kIdleAgain +
                        "close\n"),
            0)
      << session.StandardError();
  const Record r = session.record();
  EXPECT_EQ(BoxesTitled(r, "下载失败"),
            std::vector<std::string>{"msgbox 下载失败\t无法解析分享链接。\t确认\t-> 0"});
  EXPECT_TRUE(BoxesTitled(r, "下载完成").empty());
  EXPECT_FALSE(fs::exists(session.documents() / "下载的系统镜像" / "x.iso"));
  ExpectIdle(r);
}

TEST(DownloadRoad, AbandonedRequestsReturnToIdleWithoutDownloading) {
  Standin standin;
  Session session;
  session.UseStandin(standin);
  ASSERT_EQ(session.Run(kStart +
                        "answer-input-dismiss\nclick text=选定下载\nwait ^inputbox\n"
                        "answer-input 　　\nclick text=选定下载\nwait ^msgbox\n" +
                        Download("kept", 1) + "wait 请您核对文件名\n" + kIdleAgain + "close\n"),
            0)
      << session.StandardError();
  const Record r = session.record();
  EXPECT_EQ(r.Starting("inputbox ").size(), 3u);
  const auto empty = BoxesTitled(r, "  ");
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_EQ(empty[0], "msgbox   \t你还没输入文件名，无法继续\t确认\t-> 0");
  EXPECT_EQ(BoxesTitled(r, "请您核对文件名：")
                .at(0)
                .substr(BoxesTitled(r, "请您核对文件名：").at(0).size() - 4),
            "-> 1");
  EXPECT_EQ(StatusTexts(r).size(), 1u);  // never more than the initial text
  EXPECT_TRUE(BoxesTitled(r, "下载失败").empty());
  EXPECT_FALSE(fs::exists(session.documents() / "下载的系统镜像"));
  EXPECT_EQ(r.Starting("enabled " + std::to_string(r.List()) + " 0").size(), 3u);
  ExpectIdle(r);
}

std::vector<std::string> RequestsIn(const fs::path& log) {
  std::vector<std::string> lines;
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(DownloadRoad, AnErrorPageIsNeitherSavedNorAnnouncedAsComplete) {
  Standin standin({"--not-found"});
  Session session;
  session.UseStandin(standin);
  const fs::path folder = session.documents() / "下载的系统镜像";
  ASSERT_EQ(session.Run(kStart + Download("gone") + "wait ^msgbox.下载失败 20000\n" + kIdleAgain +
                        "close\n"),
            0)
      << session.StandardError();
  const Record r = session.record();
  EXPECT_EQ(BoxesTitled(r, "下载失败"),
            std::vector<std::string>{"msgbox 下载失败\t服务器已不再提供此文件。\t确认\t-> 0"});
  EXPECT_TRUE(BoxesTitled(r, "下载完成").empty());
  EXPECT_FALSE(fs::exists(folder / "gone.iso"));
  EXPECT_FALSE(fs::exists(folder / "gone.iso.part"));
  EXPECT_NE(r.Last("value", r.ByKind("progress")), "100");
  ExpectIdle(r);
}

TEST(DownloadRoad, WithoutContentLengthTheVerifiedSizeDrivesTheProgress) {
  constexpr std::size_t kSize = 4 * 1048576;
  Standin standin(
      {"--no-length", "--size", std::to_string(kSize), "--throttle", std::to_string(2 * 1048576)});
  Session session;
  session.UseStandin(standin);
  ASSERT_EQ(session.Run(kStart + Download("chunked") + "wait ^msgbox.下载完成 30000\nclose\n"), 0)
      << session.StandardError();
  const Record r = session.record();
  EXPECT_TRUE(HoldsServedBytes(session.documents() / "下载的系统镜像" / "chunked.iso", kSize));
  EXPECT_EQ(BoxesTitled(r, "下载完成").size(), 1u);
  // Some report between the start and the end showed a percentage on the way.
  const auto texts = StatusTexts(r);
  EXPECT_TRUE(std::any_of(texts.begin() + 1, texts.end(), [](const std::string& t) {
    return !t.starts_with("0%") && !t.starts_with("100%");
  }));
  EXPECT_TRUE(texts.back().starts_with("100%   ")) << texts.back();
  EXPECT_EQ(r.Last("value", r.ByKind("progress")), "100");
}

TEST(DownloadRoad, CancelDuringASlowResolutionAbandonsIt) {
  const TempFolder logFolder("requests");
  const fs::path log = logFolder.dir() / "log.txt";
  Standin standin({"--share-delay", "120000", "--request-log", log.string()});
  Session session;
  session.UseStandin(standin);
  // The cancel is held until the program next processes messages inside a
  // handler: the resolution's first wait.
  ASSERT_EQ(session.Run(kStart + "busy click text=取消下载\n" + Download("never") +
                        "wait ^cursor.\\d+.normal 20000\n" + kIdleAgain + "close\n"),
            0)
      << session.StandardError();
  const Record r = session.record();
  const int busy = r.Find("cursor " + std::to_string(r.Frame()) + " busy");
  const int cancel = r.Find("event " + std::to_string(r.CaptionOf("取消下载")) + " 2");
  ASSERT_GE(busy, 0);
  EXPECT_GT(cancel, busy);
  EXPECT_GT(r.Find("cursor " + std::to_string(r.Frame()) + " normal"), cancel);
  EXPECT_TRUE(BoxesTitled(r, "下载失败").empty());
  EXPECT_TRUE(BoxesTitled(r, "下载完成").empty());
  EXPECT_EQ(StatusTexts(r).size(), 1u);  // no download reported anything
  ExpectIdle(r);
  // At most the share page was asked for; nothing came after it.
  for (const std::string& request : RequestsIn(log)) {
    EXPECT_TRUE(request.starts_with("GET /t/")) << request;
  }
}

TEST(DownloadRoad, ClosingDuringTheResolutionEndsTheProgram) {
  const TempFolder logFolder("requests");
  const fs::path log = logFolder.dir() / "log.txt";
  Standin standin({"--share-delay", "120000", "--request-log", log.string()});
  Session session;
  session.UseStandin(standin);
  ASSERT_EQ(
      session.Run(kStart + "busy close\n" + Download("never") + "wait never-recorded 40000\n"), 0)
      << session.StandardError();
  const Record r = session.record();
  // It ended on the close, not on the engine's deadline, and opened nothing after it.
  EXPECT_EQ(r.Find("deadline"), -1);
  EXPECT_EQ(r.Find("stuck"), -1);
  const int closed = r.Find("event " + std::to_string(r.Frame()) + " 6");
  ASSERT_GE(closed, 0);
  EXPECT_GT(closed, r.Find("cursor " + std::to_string(r.Frame()) + " busy"));
  EXPECT_EQ(r.Find("msgbox", closed), -1);
  for (const std::string& request : RequestsIn(log)) {
    EXPECT_TRUE(request.starts_with("GET /t/")) << request;
  }
}

}  // namespace
}  // namespace tw::testing
