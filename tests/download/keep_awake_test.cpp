// Keeping the computer awake during a download, against a stand-in for the
// login manager on a bus of its own: the sleep inhibitor is taken when a
// download starts and let go however it ends, and a missing or hanging login
// manager costs the download nothing.
#include "download/keep_awake.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "download/download_registry.h"
#include "tests/download/registry_fixture.h"
#include "tests/download/report_log.h"
#include "tests/support/environment.h"
#include "tests/support/fake_logind.h"
#include "tests/support/files.h"
#include "tests/support/http_server.h"
#include "tests/support/raw_server.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_for.h"

namespace tw {
namespace {

using namespace std::chrono_literals;
using testing::FakeLogind;
using testing::ReportLog;

class KeepAwakeTest : public testing::RegistryFixture {
 protected:
  void SetUp() override {
    RegistryFixture::SetUp();
    http_.server().Get("/file", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(testing::Pattern(300000, 3), "application/octet-stream");
    });
    http_.server().Get("/gone", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content("gone", "text/plain");
    });
    http_.Start();
  }
};

TEST_F(KeepAwakeTest, ADownloadHoldsASleepInhibitorUntilItEndsHoweverItEnds) {
  FakeLogind logind;
  ASSERT_FALSE(logind.address().empty()) << "no private bus";
  testing::SetEnvironment("DBUS_SYSTEM_BUS_ADDRESS", logind.address());

  // Stopped while its body is stalled.
  testing::RawServer stalled("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nabc",
                             testing::RawServer::AfterAnswer::kHold);
  ReportLog stopped;
  ASSERT_EQ(StartDownload(stalled.Url("/a"), folder_.File("a.iso"), stopped.Callback(), 1), 1);
  ASSERT_TRUE(testing::WaitFor([&] { return logind.HeldCount() == 1; }, 20s, "the inhibitor"));
  const FakeLogind::Inhibitor taken = logind.Inhibitors().at(0);
  EXPECT_EQ(taken.what, "sleep");
  EXPECT_EQ(taken.mode, "block");
  EXPECT_EQ(taken.who, "Tarnwick");
  EXPECT_EQ(taken.why, "正在下载系统镜像");
  EXPECT_EQ(StopDownload(1), 1);
  ASSERT_TRUE(stopped.WaitEnded());
  ASSERT_TRUE(testing::WaitFor([&] { return logind.HeldCount() == 0; }, 20s,
                               "the stopped download to let go"));

  // Complete, and refused by the server: each takes one and lets it go.
  for (const char* path : {"/file", "/gone"}) {
    SCOPED_TRACE(path);
    ReportLog log;
    ASSERT_EQ(StartDownload(http_.Url(path), folder_.File("b.iso"), log.Callback(), 1), 1);
    ASSERT_TRUE(log.WaitEnded());
    ASSERT_TRUE(testing::WaitFor([&] { return logind.HeldCount() == 0; }, 20s,
                                 "the ended download to let go"));
    ASSERT_TRUE(testing::WaitForEngineThreads());  // before the log goes
  }
  EXPECT_EQ(logind.Inhibitors().size(), 3u);
}

TEST_F(KeepAwakeTest, WithoutALoginManagerThatAnswersTheDownloadRunsAsBefore) {
  // No bus at all: nothing is held, at once.
  testing::SetEnvironment("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + folder_.File("no-bus"));
  {
    const KeepAwake none;
    EXPECT_FALSE(none.Held());
  }
  // A login manager that never answers: the wait for it is bounded (the limit
  // is the behaviour under test), and the download completes.
  FakeLogind silent(/*silent=*/true);
  ASSERT_FALSE(silent.address().empty()) << "no private bus";
  testing::SetEnvironment("DBUS_SYSTEM_BUS_ADDRESS", silent.address());
  const auto before = std::chrono::steady_clock::now();
  {
    const KeepAwake unanswered;
    EXPECT_FALSE(unanswered.Held());
  }
  EXPECT_LT(std::chrono::steady_clock::now() - before,
            std::chrono::milliseconds(KeepAwake::kTakeLimitMs) + 1s);
  ReportLog log;
  ASSERT_EQ(StartDownload(http_.Url("/file"), folder_.File("c.iso"), log.Callback(), 1), 1);
  ASSERT_TRUE(log.WaitEnded());
  EXPECT_EQ(log.Reports().back().fraction, 1.0f);
  EXPECT_EQ(silent.Inhibitors().size(), 2u);
  EXPECT_TRUE(testing::WaitForEngineThreads());  // before the log goes
}

}  // namespace
}  // namespace tw
