// Downloads that break off, through the real program: continued within one
// download, continued by a later download of the same name, and failures
// whose box says why.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/app/road_steps.h"

namespace tw::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> FileRequests(const fs::path& log) {
  std::vector<std::string> lines;
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("GET /files/")) lines.push_back(line);
  }
  return lines;
}

// The Range a logged file request asked for ("" without one).
std::string RangeOf(const std::string& line) {
  auto tab = line.find("\tRange: ");
  return tab == std::string::npos ? std::string() : line.substr(tab + 8);
}

TEST(ResumeRoad, ADownloadSurvivesTwoDropsAndItsChecksumsHold) {
  constexpr std::size_t kSize = 3 * 1048576;
  const TempFolder logFolder("requests");
  const fs::path log = logFolder.dir() / "log.txt";
  Standin standin({"--size", std::to_string(kSize), "--drop-after", std::to_string(1048576),
                   "--drop-times", "2", "--throttle", std::to_string(4 * 1048576), "--request-log",
                   log.string()});
  Session session;
  session.UseStandin(standin);
  ASSERT_EQ(session.Run(kStart + Download("survivor") + "wait ^msgbox.下载完成 30000\n" +
                        kIdleAgain + "close\n"),
            0)
      << session.StandardError();
  const Record r = session.record();
  const fs::path folder = session.documents() / "下载的系统镜像";
  EXPECT_TRUE(HoldsServedBytes(folder / "survivor.iso", kSize));
  EXPECT_FALSE(fs::exists(folder / "survivor.iso.part"));
  EXPECT_EQ(BoxesTitled(r, "下载完成").size(), 1u);
  EXPECT_TRUE(BoxesTitled(r, "下载失败").empty());
  const auto requests = FileRequests(log);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(RangeOf(requests[0]), "bytes=0-");
  EXPECT_EQ(RangeOf(requests[1]), "bytes=1048576-");
  EXPECT_EQ(RangeOf(requests[2]), "bytes=2097152-");
  const std::string check = "cd '" + folder.string() +
                            "' && sha256sum --quiet -c survivor.iso.sha256 && "
                            "sha1sum --quiet -c survivor.iso.sha1";
  EXPECT_EQ(std::system(check.c_str()), 0);
}

TEST(ResumeRoad, ACancelledDownloadIsContinuedByTheNextOfTheSameName) {
  constexpr std::size_t kSize = 6 * 1048576;
  const TempFolder logFolder("requests");
  const fs::path log = logFolder.dir() / "log.txt";
  Standin standin({"--size", std::to_string(kSize), "--throttle", std::to_string(1048576),
                   "--request-log", log.string()});
  Session session;
  session.UseStandin(standin);
  ASSERT_EQ(session.Run(kStart + Download("again") + "wait MB/s   [1-9]\\d*MB$ 20000\n" +
                        "click text=取消下载\n" + kIdleAgain + "sleep 2500\n" + Download("again") +
                        "wait ^msgbox.下载完成 30000\n" + kIdleAgain + "close\n"),
            0)
      << session.StandardError();
  const Record r = session.record();
  const fs::path file = session.documents() / "下载的系统镜像" / "again.iso";
  EXPECT_TRUE(HoldsServedBytes(file, kSize));
  EXPECT_EQ(BoxesTitled(r, "下载完成").size(), 1u);
  const auto requests = FileRequests(log);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(RangeOf(requests[0]), "bytes=0-");
  const std::string second = RangeOf(requests[1]);
  ASSERT_TRUE(second.starts_with("bytes=")) << second;
  const long long from = std::stoll(second.substr(6));
  EXPECT_GT(from, 0);  // the part the cancelled download wrote
  EXPECT_LT(from, static_cast<long long>(kSize));
}

struct FailureCase {
  const char* name;
  std::vector<std::string> faults;
  const char* message;
};

TEST(ResumeRoad, EachFailureBoxSaysWhy) {
  const FailureCase cases[] = {
      {"breaks at the same byte every time",
       {"--drop-at", "300000", "--size", "2000000"},
       "连接中断，5次续传均未成功。"},
      {"the link expires twice",
       {"--expiring-links", "--drop-after", "300000", "--drop-times", "2", "--size", "2000000"},
       "服务器已不再提供此文件。"},
      {"too little space",
       {"--size", "1125899906842624"},
       "磁盘空间不足，需要 1048576GB 可用空间。"},
      {"the part file is a folder", {"--size", "2000000"}, "临时文件不是普通文件，无法写入。"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    Standin standin(c.faults);
    Session session;
    session.UseStandin(standin);
    const fs::path folder = session.documents() / "下载的系统镜像";
    if (std::string(c.name) == "the part file is a folder") {
      fs::create_directories(folder / "why.iso.part");
    }
    ASSERT_EQ(session.Run(kStart + Download("why") + "wait ^msgbox.下载失败 60000\n" + kIdleAgain +
                          "close\n"),
              0)
        << session.StandardError();
    const Record r = session.record();
    EXPECT_EQ(
        BoxesTitled(r, "下载失败"),
        std::vector<std::string>{std::string("msgbox 下载失败\t") + c.message + "\t确认\t-> 0"});
    EXPECT_TRUE(BoxesTitled(r, "下载完成").empty());
    EXPECT_FALSE(fs::exists(folder / "why.iso"));
  }
}

// The platform's 30 s limit on a silent body is the behaviour under test, so
// this case takes that long. The silence falls at 25% of the file; the status
// line shows 25% within half a second of it, and from there the program has
// 34.5 s to act: with the failure box, or by asking for the file again from
// byte 0 (the stand-in falls silent only once), which then completes.
TEST(ResumeRoad, ASilenceOnAServerWithoutRangesIsActedOnWithinTheLimit) {
  constexpr std::size_t kSize = 1048576;
  const TempFolder logFolder("requests");
  const fs::path log = logFolder.dir() / "log.txt";
  Standin standin({"--size", std::to_string(kSize), "--silent-after", std::to_string(kSize / 4),
                   "--no-ranges", "--request-log", log.string()});
  Session session;
  session.UseStandin(standin);
  ASSERT_EQ(session.Run(kStart + Download("silent") + "wait ^text \\d+ 25% 20000\n" +
                        "wait-new ^msgbox.下载(失败|完成) 34500\n" + kIdleAgain + "close\n"),
            0)
      << session.StandardError();
  const Record r = session.record();
  EXPECT_TRUE(r.Starting("timeout ").empty()) << r.Starting("timeout ").at(0);
  const auto failed = BoxesTitled(r, "下载失败");
  const auto done = BoxesTitled(r, "下载完成");
  ASSERT_EQ(failed.size() + done.size(), 1u);
  const auto requests = FileRequests(log);
  const fs::path file = session.documents() / "下载的系统镜像" / "silent.iso";
  if (!failed.empty()) {
    EXPECT_EQ(failed[0], "msgbox 下载失败\t连接中断，服务器不支持续传。\t确认\t-> 0");
    EXPECT_EQ(requests.size(), 1u);
    EXPECT_FALSE(fs::exists(file));
  } else {
    ASSERT_EQ(requests.size(), 2u);
    const std::string again = RangeOf(requests[1]);
    EXPECT_TRUE(again.empty() || again == "bytes=0-") << again;
    EXPECT_TRUE(HoldsServedBytes(file, kSize));
  }
}

TEST(ResumeRoad, AnExpiredLinkIsRenewedAndTheDownloadCompletes) {
  constexpr std::size_t kSize = 2 * 1048576;
  Standin standin({"--expiring-links", "--size", std::to_string(kSize), "--drop-after",
                   std::to_string(1048576), "--drop-times", "1"});
  Session session;
  session.UseStandin(standin);
  ASSERT_EQ(session.Run(kStart + Download("renewed") + "wait ^msgbox.下载完成 30000\n" +
                        kIdleAgain + "close\n"),
            0)
      << session.StandardError();
  EXPECT_TRUE(HoldsServedBytes(session.documents() / "下载的系统镜像" / "renewed.iso", kSize));
  EXPECT_TRUE(BoxesTitled(session.record(), "下载失败").empty());
}

}  // namespace
}  // namespace tw::testing
