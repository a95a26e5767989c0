// Downloads through DownloadJob against loopback servers: what lands in the
// file, what is reported and in which order, and how every way of failing or
// stopping ends.
#include "download/download_job.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "download/attempt_decision.h"
#include "download/http_get.h"
#include "tests/download/report_log.h"
#include "tests/support/environment.h"
#include "tests/support/files.h"
#include "tests/support/full_backlog_listener.h"
#include "tests/support/http_server.h"
#include "tests/support/raw_server.h"
#include "tests/support/refused_port.h"
#if !defined(_WIN32)
#include "tests/support/slow_lookup.h"
#endif
#include "tests/support/temp_folder.h"
#include "tests/support/wait_for.h"
#include "text/convert.h"
#include "text/system_texts.h"

namespace tw {
namespace {

using namespace std::chrono_literals;
using testing::Report;
using testing::ReportLog;

constexpr size_t kSlowSize = 3 * 1024 * 1024;
constexpr size_t kSlowPiece = 64 * 1024;

class DownloadJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    slow_ = testing::Pattern(kSlowSize, 7);
    small_ = testing::Pattern(150000, 3);
    auto& s = http_.server();
    // About 1.2 s in 64 KiB pieces, so that Tick reports come.
    s.Get("/slow", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(slow_.size(), "application/octet-stream",
                               [this](size_t offset, size_t, httplib::DataSink& sink) {
                                 std::this_thread::sleep_for(25ms);
                                 size_t n = std::min(kSlowPiece, slow_.size() - offset);
                                 sink.write(slow_.data() + offset, n);
                                 return true;
                               });
    });
    s.Get("/small", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(small_, "application/octet-stream");
    });
    s.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content("no such image", "text/plain");
    });
    s.Get("/empty", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("", "application/octet-stream");
    });
    s.Get(R"(/hop/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
      int left = std::stoi(req.matches[1]);
      if (left == 0) {
        res.set_content(small_, "application/octet-stream");
        return;
      }
      // Alternate relative and absolute locations and the codes followed.
      static const int kCodes[] = {301, 302, 303, 307, 308};
      std::string next = "/hop/" + std::to_string(left - 1);
      res.status = kCodes[left % 5];
      res.set_header("Location", left % 2 ? next : http_.Url(next));
      res.set_content("redirect body, not the file", "text/plain");
    });
    s.Get("/cookie", [this](const httplib::Request&, httplib::Response& res) {
      res.status = 302;
      res.set_header("Set-Cookie", "session=abc; Path=/");
      res.set_header("Location", http_.Url("/headers"));
    });
    s.Get("/headers", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content("UA=" + req.get_header_value("User-Agent") +
                          "\nRange=" + req.get_header_value("Range") +
                          "\nCookie=" + req.get_header_value("Cookie") + "\n",
                      "text/plain");
    });
    http_.Start();
    // A body without length: chunks of 7000 bytes, a 200 whatever the range.
    std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (size_t at = 0; at < small_.size(); at += 7000) {
      const std::string piece = small_.substr(at, 7000);
      char size[16];
      std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
      chunked += size + piece + "\r\n";
    }
    chunked_ = std::make_unique<testing::RawServer>(chunked + "0\r\n\r\n",
                                                    testing::RawServer::AfterAnswer::kClose);
  }

  void TearDown() override { EXPECT_TRUE(testing::WaitForEngineThreads()); }

  // Runs a job the way a download thread does: start, wait for the done
  // event, stop, destroy. False when the done event never came.
  bool Run(const std::string& url, const std::string& path, ReportLog* log,
           std::string* failure = nullptr, int64_t expectedBytes = 0) {
    auto done = std::make_shared<AutoResetEvent>();
    auto job = std::make_unique<DownloadJob>();
    job->SetResumeWaitUnit(1);
    job->Start(url, path, log ? log->Callback() : ProgressCallback(), 1, done, expectedBytes);
    bool ended = done->Wait(20000);
    job->Stop();
    if (failure) *failure = job->FailureReason();
    job.reset();
    return ended;
  }

  testing::LocalHttpServer http_;
  std::unique_ptr<testing::RawServer> chunked_;
  testing::TempFolder folder_;
  std::string slow_;
  std::string small_;
};

TEST_F(DownloadJobTest, WithContentLengthReportsStartedTicksAndEndedAtOne) {
  ReportLog log;
  std::string path = folder_.File("image.iso");
  ASSERT_TRUE(Run(http_.Url("/slow"), path, &log));
  EXPECT_TRUE(testing::ReadFile(path) == slow_);

  std::vector<Report> reports = log.Reports();
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(log.Count(Started), 1);
  EXPECT_GE(log.Count(Tick), 1);
  EXPECT_EQ(log.Count(Failed), 0);
  EXPECT_EQ(log.Count(Ended), 1);
  const Report& last = reports.back();
  EXPECT_EQ(last.status, Ended);
  EXPECT_EQ(last.fraction, 1.0f);
  EXPECT_EQ(last.received, static_cast<int64_t>(kSlowSize));
  EXPECT_EQ(last.remaining, 0);
  for (const Report& r : reports) {
    EXPECT_EQ(r.tag, 1);
    EXPECT_EQ(r.path, path);
    EXPECT_EQ(r.total, static_cast<int64_t>(kSlowSize));
    EXPECT_EQ(r.remaining, r.total - r.received);
    EXPECT_EQ(r.fraction, static_cast<float>(static_cast<double>(r.received) / r.total));
    EXPECT_GE(r.elapsedMs, 0);
    if (r.status == Tick) {
      EXPECT_GT(r.speed, 0.0f);
    }
  }
}

TEST_F(DownloadJobTest, BodiesWithoutLengthTakeTheExpectedSizeOrTheirOwn) {
  // Neither announced nor expected: once the body has arrived whole, its size
  // is the total, and the final report says it is complete.
  ReportLog unknown;
  std::string path = folder_.File("chunked.iso");
  ASSERT_TRUE(Run(chunked_->Url("/chunked"), path, &unknown));
  EXPECT_TRUE(testing::ReadFile(path) == small_);
  EXPECT_EQ(unknown.Count(Failed), 0);
  const Report last = unknown.Reports().back();
  EXPECT_EQ(last.status, Ended);
  EXPECT_EQ(last.total, static_cast<int64_t>(small_.size()));
  EXPECT_EQ(last.fraction, 1.0f);

  // Expected: every report measures against it.
  ReportLog expected;
  ASSERT_TRUE(Run(chunked_->Url("/chunked"), folder_.File("expected.iso"), &expected, nullptr,
                  static_cast<int64_t>(small_.size())));
  EXPECT_EQ(expected.Count(Failed), 0);
  for (const Report& r : expected.Reports()) {
    EXPECT_EQ(r.total, static_cast<int64_t>(small_.size()));
    EXPECT_EQ(r.remaining, r.total - r.received);
  }
  EXPECT_EQ(expected.Reports().back().fraction, 1.0f);

  // A body that ends short of (or beyond) the expected size is not the file.
  for (int64_t wrong :
       {static_cast<int64_t>(small_.size()) + 1, static_cast<int64_t>(small_.size()) - 1}) {
    ReportLog mismatch;
    std::string failure;
    ASSERT_TRUE(
        Run(chunked_->Url("/chunked"), folder_.File("short.iso"), &mismatch, &failure, wrong));
    EXPECT_EQ(mismatch.Statuses().back(), Ended);
    EXPECT_EQ(mismatch.Count(Failed), 1);
    EXPECT_NE(mismatch.Reports().back().fraction, 1.0f);
    EXPECT_NE(failure.find("expected"), std::string::npos) << failure;
  }
  // An announced length wins over the expectation.
  ReportLog announced;
  ASSERT_TRUE(Run(http_.Url("/small"), folder_.File("small.iso"), &announced, nullptr, 5));
  EXPECT_EQ(announced.Reports().back().total, static_cast<int64_t>(small_.size()));
  EXPECT_EQ(announced.Count(Failed), 0);
}

TEST_F(DownloadJobTest, ErrorResponsesFailWithoutTouchingTheTarget) {
  ReportLog missing;
  std::string page = folder_.File("404.iso");
  std::string failure;
  ASSERT_TRUE(Run(http_.Url("/missing"), page, &missing, &failure));
  EXPECT_FALSE(std::filesystem::exists(page));
  EXPECT_EQ(missing.Statuses(), (std::vector<int32_t>{Failed, Ended}));
  EXPECT_EQ(missing.Reports().back().fraction, 0.0f);
  EXPECT_NE(failure.find("404"), std::string::npos) << failure;

  // An older file under the name stays as it was.
  std::string older = folder_.File("older.iso");
  testing::WriteFile(older, "older image");
  ReportLog again;
  ASSERT_TRUE(Run(http_.Url("/missing"), older, &again));
  EXPECT_EQ(testing::ReadFile(older), "older image");
  EXPECT_EQ(again.Count(Failed), 1);
}

TEST_F(DownloadJobTest, RedirectsAreFollowedUpToTen) {
  ReportLog log;
  std::string path = folder_.File("hops.iso");
  ASSERT_TRUE(Run(http_.Url("/hop/10"), path, &log));
  EXPECT_TRUE(testing::ReadFile(path) == small_);  // no redirect body mixed in
  EXPECT_EQ(log.Reports().back().total, static_cast<int64_t>(small_.size()));
  EXPECT_EQ(log.Count(Failed), 0);

  ReportLog tooMany;
  std::string failure;
  ASSERT_TRUE(Run(http_.Url("/hop/11"), folder_.File("eleven.iso"), &tooMany, &failure));
  EXPECT_EQ(tooMany.Statuses(), (std::vector<int32_t>{Failed, Ended}));
  EXPECT_NE(failure.find("redirect"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder_.File("eleven.iso")));
}

TEST_F(DownloadJobTest, RequestCarriesItsHeadersAndIgnoresProxiesAndCookies) {
  std::string deadProxy = "http://127.0.0.1:" + std::to_string(testing::RefusedPort());
  for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "ALL_PROXY", "all_proxy"}) {
    testing::SetEnvironment(name, deadProxy);
  }
  std::string path = folder_.File("headers.txt");
  bool ended = Run(http_.Url("/cookie"), path, nullptr);
  for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "ALL_PROXY", "all_proxy"}) {
    testing::SetEnvironment(name, "");
  }
  ASSERT_TRUE(ended);
  EXPECT_EQ(testing::ReadFile(path),
            std::string("UA=") + kDownloadUserAgent + "\nRange=bytes=0-\nCookie=\n");
}

TEST_F(DownloadJobTest, EveryFailureToStartReportsFailedThenEnded) {
  testing::WriteFile(folder_.File("plain"), "x");
  const std::string good = folder_.File("never.iso");
  struct Case {
    const char* what;
    std::string url;
    std::string path;
  } cases[] = {
      {"empty url", "", good},
      {"empty path", http_.Url("/small"), ""},
      {"malformed url", "not a url", good},
      {"unsupported scheme", "ftp://127.0.0.1/x", good},
      {"unresolvable host", "http://no-such-host.invalid/x", good},
      {"nobody listening", "http://127.0.0.1:" + std::to_string(testing::RefusedPort()) + "/x",
       good},
      {"tls handshake", "https://127.0.0.1:" + std::to_string(http_.port()) + "/small", good},
      {"empty body", http_.Url("/empty"), good},
      {"file cannot be opened", http_.Url("/small"), folder_.File("plain") + "/sub/x.iso"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReportLog log;
    std::string failure;
    ASSERT_TRUE(Run(c.url, c.path, &log, &failure));  // the done event is set
    EXPECT_EQ(log.Statuses(), (std::vector<int32_t>{Failed, Ended}));
    EXPECT_EQ(log.Reports().back().fraction, 0.0f);
    EXPECT_FALSE(failure.empty());
    EXPECT_FALSE(std::filesystem::exists(good));
  }
}

#if !defined(_WIN32)
// A full device and a file size limit are POSIX systems' own.
TEST_F(DownloadJobTest, WriteFailuresStopTheTransferShortOfOne) {
  // The part file cannot be made: a folder stands in its place.
  std::string blocked = folder_.File("blocked.iso");
  std::filesystem::create_directories(blocked + ".part");
  ReportLog unopened;
  std::string failure;
  ASSERT_TRUE(Run(http_.Url("/small"), blocked, &unopened, &failure));
  EXPECT_EQ(unopened.Statuses(), (std::vector<int32_t>{Failed, Ended}));
  EXPECT_FALSE(failure.empty());
  EXPECT_FALSE(std::filesystem::exists(blocked));

  // The file size limit: without care the process would die of SIGXFSZ.
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 100000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  ReportLog limited;
  std::string path = folder_.File("limited.iso");
  bool ended = Run(http_.Url("/small"), path, &limited);
  setrlimit(RLIMIT_FSIZE, &saved);
  ASSERT_TRUE(ended);
  EXPECT_EQ(limited.Count(Failed), 1);
  Report last = limited.Reports().back();
  EXPECT_EQ(last.status, Ended);
  EXPECT_LT(last.fraction, 1.0f);
  // The report says what the part file holds; nothing is under the name.
  EXPECT_EQ(last.received, static_cast<int64_t>(std::filesystem::file_size(path + ".part")));
  EXPECT_FALSE(std::filesystem::exists(path));
}
#endif

TEST_F(DownloadJobTest, TargetHoldsExactlyTheNewBytesInCreatedFolders) {
  std::string older = folder_.File("older.iso");
  testing::WriteFile(older, std::string(small_.size() * 3, 'z'));
  ASSERT_TRUE(Run(http_.Url("/small"), older, nullptr));
  EXPECT_TRUE(testing::ReadFile(older) == small_);

  // The target path is GBK text; the folder must appear under its own name
  // in the file system's encoding: UTF-8 on POSIX systems, UTF-16 on Windows.
  const Text& folderName = Texts().defaultFolderName;
  Text target = folder_.path() + "/" + folderName + "/deeper/image.iso";
  ASSERT_TRUE(Run(http_.Url("/small"), target, nullptr));
#if defined(_WIN32)
  const std::u16string utf16 = GbkToUtf16(folderName);
  const std::filesystem::path folder(std::wstring(utf16.begin(), utf16.end()));
#else
  const std::filesystem::path folder(GbkToUtf8(folderName));
#endif
  std::ifstream in(std::filesystem::path(folder_.path()) / folder / "deeper" / "image.iso",
                   std::ios::binary);
  EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == small_);
}

TEST_F(DownloadJobTest, WithoutRangesABreakStartsTheFileAgainUntilTheTriesAreSpent) {
  // Every answer breaks at the same byte: the first carried the file there,
  // the five after it from byte 0 carry it no further.
  std::string part = testing::Pattern(30000);
  testing::RawServer server("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + part,
                            testing::RawServer::AfterAnswer::kClose);
  ReportLog log;
  std::string path = folder_.File("dropped.iso");
  std::string failure;
  ASSERT_TRUE(Run(server.Url("/x"), path, &log, &failure));
  EXPECT_EQ(server.Accepted(), 1 + kTriesWithoutProgress);
  for (const std::string& request : server.requests()) {
    EXPECT_NE(request.find("Range:bytes=0-\r\n"), std::string::npos) << request;
  }
  std::vector<int32_t> statuses = log.Statuses();
  ASSERT_GE(statuses.size(), 3u);
  EXPECT_EQ(statuses[statuses.size() - 2], Failed);
  EXPECT_EQ(statuses.back(), Ended);
  EXPECT_EQ(log.Count(Started), 1);
  Report last = log.Reports().back();
  EXPECT_EQ(last.received, 30000);
  EXPECT_LT(last.fraction, 1.0f);
  EXPECT_TRUE(testing::ReadFile(path + ".part") == part);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(DownloadJobTest, ASilentServerEndsEachTryAfterTheReceiveLimit) {
  std::string part = testing::Pattern(20000);
  testing::RawServer server("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n" + part,
                            testing::RawServer::AfterAnswer::kHold);
  ReportLog log;
  std::string path = folder_.File("silent.iso");
  auto done = std::make_shared<AutoResetEvent>();
  auto job = std::make_unique<DownloadJob>();
  net::Timeouts limits;  // the platform's, but a shorter wait for data
  limits.receiveMs = 300;
  job->SetTransferTimeouts(limits);
  job->SetResumeWaitUnit(1);
  job->Start(server.Url("/x"), path, log.Callback(), 1, done);
  ASSERT_TRUE(done->Wait(20000)) << "the silent download never ended";
  job->Stop();
  EXPECT_NE(job->FailureReason().find("silent"), std::string::npos) << job->FailureReason();
  EXPECT_EQ(job->Failure(), DownloadFailure::kNoRanges);
  EXPECT_EQ(job->Attempts(), 1 + kTriesWithoutProgress);
  job.reset();
  std::vector<int32_t> statuses = log.Statuses();
  ASSERT_GE(statuses.size(), 3u);
  EXPECT_EQ(statuses.front(), Started);
  EXPECT_EQ(statuses[statuses.size() - 2], Failed);
  EXPECT_EQ(statuses.back(), Ended);
  EXPECT_EQ(log.Reports().back().received, 20000);
  EXPECT_TRUE(testing::ReadFile(path + ".part") == part);
}

// Stop must end the transfer promptly in every phase and report Ended once.
class DownloadStopTest : public DownloadJobTest {
 protected:
  // Starts a job, waits until `ready` says it reached its phase, stops it.
  void StartAndStop(const std::string& url, const std::function<bool(ReportLog&)>& ready) {
    ReportLog log;
    auto done = std::make_shared<AutoResetEvent>();
    auto job = std::make_unique<DownloadJob>();
    ASSERT_TRUE(job->Start(url, folder_.File("stopped.iso"), log.Callback(), 1, done));
    ASSERT_TRUE(testing::WaitFor([&] { return ready(log); }, 10s, "the phase to stop in"));
    auto before = std::chrono::steady_clock::now();
    job->Stop();
    auto took = std::chrono::steady_clock::now() - before;
    EXPECT_LT(took, 5s);  // only catches a hang; the latency itself is benchmarked
    EXPECT_EQ(log.Count(Ended), 1);
    EXPECT_EQ(log.Count(Failed), 0);
    EXPECT_EQ(log.Statuses().back(), Ended);
    job.reset();
    EXPECT_EQ(log.Count(Ended), 1);
  }
};

TEST_F(DownloadStopTest, StalledBody) {
  testing::RawServer server(
      "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n" + testing::Pattern(20000),
      testing::RawServer::AfterAnswer::kHold);
  StartAndStop(server.Url("/x"), [](ReportLog& log) { return log.Count(Started) == 1; });
}

TEST_F(DownloadStopTest, WaitingForHeaders) {
  testing::RawServer server("", testing::RawServer::AfterAnswer::kHold);
  StartAndStop(server.Url("/x"), [&](ReportLog&) { return server.Accepted() == 1; });
}

TEST_F(DownloadStopTest, ConnectThatNeverCompletes) {
  testing::FullBacklogListener listener;
  auto start = std::chrono::steady_clock::now();
  StartAndStop(listener.Url("/x"),
               [&](ReportLog&) { return std::chrono::steady_clock::now() - start > 200ms; });
}

#if !defined(_WIN32)
TEST_F(DownloadStopTest, NameLookupThatNeverAnswers) {
  StartAndStop(std::string("http://") + testing::kSlowLookupHost + "/x",
               [](ReportLog&) { return testing::SlowLookupsWaiting() == 1; });
  // The lookup thread was left behind; let it finish before the process may
  // end, so nothing of it is still held then.
  EXPECT_TRUE(testing::ReleaseSlowLookups(10s));
  std::this_thread::sleep_for(50ms);
}
#endif

TEST_F(DownloadStopTest, MidBody) {
  StartAndStop(http_.Url("/slow"), [](ReportLog& log) { return log.Count(Tick) >= 1; });
}

TEST_F(DownloadJobTest, WithoutCallbackTheTransferStillRunsAndEnds) {
  std::string path = folder_.File("quiet.iso");
  std::string failure;
  ASSERT_TRUE(Run(chunked_->Url("/chunked"), path, nullptr, &failure));
  EXPECT_EQ(failure, "");
  EXPECT_TRUE(testing::ReadFile(path) == small_);
}

}  // namespace
}  // namespace tw
