// The registry: its result codes, how downloads leave it, waiting for a
// download thread while the window stays responsive, and the exit routine
// releasing it under running downloads.
#include "download/download_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "tests/download/registry_fixture.h"
#include "tests/download/report_log.h"
#include "tests/support/files.h"
#include "tests/support/http_server.h"
#include "tests/support/raw_server.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_for.h"
#include "text/message_pump.h"

namespace tw {
namespace {

using namespace std::chrono_literals;
using testing::ReportLog;

size_t RegisteredCount() {
  RegistryHandle registry = CurrentDownloadRegistry();
  if (!registry) return 0;
  std::lock_guard guard(registry->registryLock);
  return registry->entries.size();
}

::testing::AssertionResult WaitRegistered(size_t count) {
  return testing::WaitFor([count] { return RegisteredCount() == count; }, 20s,
                          std::to_string(count) + " registered downloads");
}

class DownloadRegistryTest : public testing::RegistryFixture {
 protected:
  void SetUp() override {
    RegistryFixture::SetUp();
    body_ = testing::Pattern(2 * 1024 * 1024, 5);
    http_.server().Get("/slow", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(body_.size(), "application/octet-stream",
                               [this](size_t offset, size_t, httplib::DataSink& sink) {
                                 std::this_thread::sleep_for(20ms);
                                 size_t n = std::min<size_t>(64 * 1024, body_.size() - offset);
                                 sink.write(body_.data() + offset, n);
                                 return true;
                               });
    });
    http_.Start();
  }

  std::string body_;
};

TEST_F(DownloadRegistryTest, ResultCodesFollowWhatIsRegistered) {
  EXPECT_EQ(StopDownload(1), 0);  // empty registry

  testing::RawServer stalled("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nabc",
                             testing::RawServer::AfterAnswer::kHold);
  ReportLog first;
  ASSERT_EQ(StartDownload(stalled.Url("/a"), folder_.File("a.iso"), first.Callback(), 1), 1);
  ReportLog refused;
  EXPECT_EQ(StartDownload(stalled.Url("/b"), folder_.File("b.iso"), refused.Callback(), 1), -1);
  EXPECT_EQ(StopDownload(2), -1);

  // Id 0 is never refused, however many are running.
  ReportLog zeroA, zeroB;
  EXPECT_EQ(StartDownload(stalled.Url("/c"), folder_.File("c.iso"), zeroA.Callback(), 0), 1);
  EXPECT_EQ(StartDownload(stalled.Url("/d"), folder_.File("d.iso"), zeroB.Callback(), 0), 1);
  EXPECT_EQ(RegisteredCount(), 3u);

  EXPECT_EQ(StopDownload(1), 1);
  EXPECT_TRUE(first.WaitEnded());
  ASSERT_TRUE(WaitRegistered(2));
  EXPECT_TRUE(refused.Reports().empty());

  // After removal the id is accepted again.
  ReportLog again;
  ASSERT_EQ(StartDownload(stalled.Url("/e"), folder_.File("e.iso"), again.Callback(), 1), 1);
  // Stopping id 0 reaches the first one registered; the next stays until then.
  EXPECT_EQ(StopDownload(1), 1);
  EXPECT_EQ(StopDownload(0), 1);
  ASSERT_TRUE(WaitRegistered(1));
  EXPECT_EQ(StopDownload(0), 1);
  ASSERT_TRUE(WaitRegistered(0));
  EXPECT_TRUE(again.WaitEnded());
  EXPECT_TRUE(zeroA.WaitEnded());
  EXPECT_TRUE(zeroB.WaitEnded());
  EXPECT_EQ(StopDownload(1), 0);
}

TEST_F(DownloadRegistryTest, ADownloadThatCannotStartLeavesTheRegistry) {
  ReportLog log;
  ASSERT_EQ(StartDownload("", folder_.File("x.iso"), log.Callback(), 1), 1);
  ASSERT_TRUE(log.WaitEnded());
  EXPECT_EQ(log.Statuses(), (std::vector<int32_t>{Failed, Ended}));
  ASSERT_TRUE(WaitRegistered(0));

  ReportLog next;
  ASSERT_EQ(StartDownload(http_.Url("/slow"), folder_.File("y.iso"), next.Callback(), 1), 1);
  ASSERT_TRUE(next.WaitEnded());
  EXPECT_EQ(next.Reports().back().fraction, 1.0f);
  EXPECT_TRUE(testing::ReadFile(folder_.File("y.iso")) == body_);
  EXPECT_TRUE(WaitRegistered(0));
}

TEST_F(DownloadRegistryTest, StopWithWaitReturnsOnceTheDownloadThreadEnded) {
  testing::RawServer stalled("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nabc",
                             testing::RawServer::AfterAnswer::kHold);
  ReportLog log;
  ASSERT_EQ(StartDownload(stalled.Url("/a"), folder_.File("a.iso"), log.Callback(), 1), 1);
  ASSERT_TRUE(testing::WaitFor([&] { return log.Count(Started) > 0; }, 10s, "the Started report"));
  EXPECT_EQ(StopDownload(1, true, 0), 1);
  // The download thread removes its entry before it ends.
  EXPECT_EQ(RegisteredCount(), 0u);
  EXPECT_EQ(log.Count(Ended), 1);
  EXPECT_EQ(log.Statuses().back(), Ended);
}

std::atomic<int> pumped{0};
void CountingPump() { ++pumped; }

TEST_F(DownloadRegistryTest, WaitThreadPumpingKeepsTheWindowAlive) {
  InstallMessagePump(&CountingPump);
  pumped = 0;
  std::atomic<bool> release{false};
  ThreadHandle worker = ThreadRecord::Launch([&] {
    testing::WaitFor([&] { return release.load(); }, 20s, "the test to release the thread");
  });
  EXPECT_FALSE(WaitThreadPumping(worker, 100));
  int afterTimeout = pumped;
  EXPECT_GT(afterTimeout, 1);  // messages ran during the wait, not only at its end
  std::thread releaser([&] {
    std::this_thread::sleep_for(50ms);
    release = true;
  });
  EXPECT_TRUE(WaitThreadPumping(worker, 0));  // 0: no limit
  releaser.join();
  EXPECT_TRUE(WaitThreadPumping(worker, 100));  // an ended thread: at once
  EXPECT_FALSE(WaitThreadPumping(nullptr, 100));
  RemoveMessagePump();
}

TEST_F(DownloadRegistryTest, ExitReleasesTheRegistryUnderARunningDownload) {
  ReportLog log;
  ASSERT_EQ(StartDownload(http_.Url("/slow"), folder_.File("late.iso"), log.Callback(), 1), 1);
  ReleaseDownloadRegistry();
  EXPECT_EQ(StartDownload(http_.Url("/slow"), folder_.File("none.iso"), log.Callback(), 2), -1);
  EXPECT_EQ(StopDownload(1), 0);
  // The download goes on and leaves the released registry without harm.
  ASSERT_TRUE(log.WaitEnded());
  EXPECT_EQ(log.Reports().back().fraction, 1.0f);
  EXPECT_TRUE(testing::WaitForEngineThreads());
  EXPECT_TRUE(testing::ReadFile(folder_.File("late.iso")) == body_);
}

}  // namespace
}  // namespace tw
