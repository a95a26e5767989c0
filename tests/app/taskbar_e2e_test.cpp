// What the window's taskbar button shows of a download, through the real
// program: running from its first report, failed while the failure box is
// open, and nothing once a download is over, whichever way it ended.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/road_steps.h"

namespace tw::testing {
namespace {

namespace fs = std::filesystem;

// The task states recorded in [from, to), with the index of each line.
struct TaskLine {
  int index;
  std::string state;
};
std::vector<TaskLine> TaskStates(const Record& r, int from, int to) {
  const std::string prefix = "task " + std::to_string(r.ByKind("progress")) + " ";
  std::vector<TaskLine> states;
  for (int i = from; i < to; ++i) {
    const std::string& line = r.lines()[static_cast<std::size_t>(i)];
    if (line.starts_with(prefix)) states.push_back({i, line.substr(prefix.size())});
  }
  return states;
}

std::vector<std::string> Names(const std::vector<TaskLine>& states) {
  std::vector<std::string> names;
  for (const TaskLine& line : states) names.push_back(line.state);
  return names;
}

TEST(TaskbarRoad, TheButtonFollowsACancelledACompleteAndAFailedDownload) {
  constexpr std::size_t kSize = 4 * 1048576;
  Standin standin({"--size", std::to_string(kSize), "--throttle", std::to_string(1048576)});
  Session session;
  session.UseStandin(standin);
  const fs::path folder = session.documents() / "下载的系统镜像";
  // The third download cannot make its part file.
  fs::create_directories(folder / "broken.iso.part");
  // The cancelled one first: its final report, which clears the button,
  // comes after the click, and the first clearing is the one to wait for.
  ASSERT_EQ(
      session.Run(kStart + Download("stopped") + "wait MB/s   [1-9]\\d*MB$ 20000\n" +
                  "click text=取消下载\n" + kIdleAgain + "wait ^task [0-9]+ 0$ 10000\n" +
                  Download("whole") + "wait ^msgbox.下载完成 30000\n" + kIdleAgain +
                  Download("broken") + "wait ^msgbox.下载失败 30000\n" + kIdleAgain + "close\n"),
      0)
      << session.StandardError();
  const Record r = session.record();
  const int bar = r.ByKind("progress");
  const int second = r.Find("inputbox ", r.Find("inputbox ") + 1);
  const int third = second < 0 ? -1 : r.Find("inputbox ", second + 1);
  ASSERT_GT(second, 0) << "the second download did not start";
  ASSERT_GT(third, second) << "the third download did not start";
  const int end = static_cast<int>(r.lines().size());

  const auto cancelled = TaskStates(r, 0, second);
  EXPECT_EQ(Names(cancelled), (std::vector<std::string>{"1", "0"}));

  const auto complete = TaskStates(r, second, third);
  ASSERT_EQ(Names(complete), (std::vector<std::string>{"1", "0"}));
  // The bar moves first, so the button never shows the last download's position.
  const int firstValue = r.Find("value " + std::to_string(bar) + " ", second);
  EXPECT_LT(firstValue, complete[0].index);
  EXPECT_GT(complete[1].index, r.Find("msgbox 下载完成", second)) << "cleared before the box";

  const auto failed = TaskStates(r, third, end);
  ASSERT_GE(failed.size(), 2u);
  const int box = r.Find("msgbox 下载失败", third);
  EXPECT_EQ(failed[failed.size() - 2].state, "3");
  EXPECT_LT(failed[failed.size() - 2].index, box) << "the failure shows only after its box";
  EXPECT_EQ(failed.back().state, "0");
  EXPECT_GT(failed.back().index, box);
}

TEST(TaskbarRoad, ABreakShowsPausedWhileItWaitsForTheRetry) {
  constexpr std::size_t kSize = 2 * 1048576;
  Standin standin({"--size", std::to_string(kSize), "--drop-after", std::to_string(1048576),
                   "--drop-times", "1"});
  Session session;
  session.UseStandin(standin);
  ASSERT_EQ(session.Run(kStart + Download("paused") + "wait ^msgbox.下载完成 30000\n" + kIdleAgain +
                        "close\n"),
            0)
      << session.StandardError();
  const Record r = session.record();
  EXPECT_EQ(Names(TaskStates(r, 0, static_cast<int>(r.lines().size()))),
            (std::vector<std::string>{"1", "2", "1", "0"}));
}

}  // namespace
}  // namespace tw::testing
