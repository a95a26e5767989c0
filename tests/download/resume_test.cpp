// Downloads that break off and go on: against a file server on 127.0.0.1
// whose faults each test sets, the file ends byte-identical to what was served
// or the download fails clearly with the part file as it was.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "download/attempt_decision.h"
#include "download/download_job.h"
#include "download/part_file.h"
#include "download/resume_rules.h"
#include "tests/download/job_run.h"
#include "tests/download/report_log.h"
#include "tests/support/files.h"
#include "tests/support/http_server.h"
#include "tests/support/raw_server.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_certificate.h"
#include "tests/support/wait_for.h"

namespace tw {
namespace {

using namespace std::chrono_literals;
using testing::ExpectOneDownload;
using testing::Outcome;
using testing::Report;
using testing::ReportLog;
using testing::RunJob;

constexpr size_t kSize = 200000;

// What the server does with each file request, by its number (0 first).
struct Faults {
  int dropTimes = 0;           // the first this many responses close early...
  size_t dropAfter = 0;        // ...after this many of their bytes
  bool silentFirst = false;    // the first response goes silent after dropAfter bytes
  bool ranges = true;          // Range honoured (206 with Content-Range)
  bool changingEtag = false;   // every response names another version
  bool resumeWith200 = false;  // a ranged request after the first gets the whole file
  int64_t shiftRange = 0;      // a ranged request gets a range starting this far off
  int goneFor = 0;             // on "/old", requests after the first are answered this
  size_t stuckAt = 0;          // every response ends at this byte of the file (0: none)
  int busyNext = 0;            // the next this many requests are answered 503
};

class FileServer {
 public:
  explicit FileServer(const std::string& content, bool tls = false)
      : content_(content), http_(tls) {
    auto handler = [this](const httplib::Request& request, httplib::Response& response) {
      Serve(request, response);
    };
    http_.server().Get("/file", handler);
    http_.server().Get("/old", handler);
    http_.server().Get("/new", handler);
    http_.Start();
  }
  ~FileServer() { stopping_ = true; }

  Faults faults;
  std::string Url(const std::string& path) const { return http_.Url(path); }
  // The Range and If-Range lines of each file request, in order.
  std::vector<std::string> Requests() {
    std::lock_guard guard(mutex_);
    return requests_;
  }
  int Count() { return static_cast<int>(Requests().size()); }
  std::string Etag(int number) const {
    return "\"v" + std::to_string(faults.changingEtag ? number : 0) + "\"";
  }

 private:
  void Serve(const httplib::Request& request, httplib::Response& response) {
    // Ranges are answered here, so the faults can shape them.
    const_cast<httplib::Request&>(request).ranges.clear();
    int number;
    bool busy = false;
    {
      std::lock_guard guard(mutex_);
      number = static_cast<int>(requests_.size());
      requests_.push_back("Range=" + request.get_header_value("Range") +
                          " If-Range=" + request.get_header_value("If-Range"));
      busy = faults.busyNext > 0;
      if (busy) --faults.busyNext;
    }
    if (busy) {
      response.status = 503;
      response.set_content("busy", "text/plain");
      return;
    }
    if (request.path == "/old" && number > 0 && faults.goneFor != 0) {
      response.status = faults.goneFor;
      response.set_content("expired", "text/plain");
      return;
    }
    size_t first = 0;
    std::smatch match;
    std::string range = request.get_header_value("Range");
    static const std::regex kRange(R"(bytes=(\d+)-)");
    std::string ifRange = request.get_header_value("If-Range");
    bool rangeOk = faults.ranges && std::regex_match(range, match, kRange) &&
                   (ifRange.empty() || ifRange == Etag(number));
    if (rangeOk && !(faults.resumeWith200 && number > 0)) {
      first = std::stoul(match[1].str());
      if (number > 0) first += static_cast<size_t>(faults.shiftRange);
      response.status = 206;
      response.set_header("Content-Range", "bytes " + std::to_string(first) + "-" +
                                               std::to_string(content_.size() - 1) + "/" +
                                               std::to_string(content_.size()));
    }
    if (faults.ranges) response.set_header("ETag", Etag(number));
    const bool stuck = faults.stuckAt > 0;
    const bool drops = number < faults.dropTimes || stuck;
    const bool silent = faults.silentFirst && number == 0;
    const size_t limit = stuck ? std::max(faults.stuckAt, first) - first : faults.dropAfter;
    response.set_content_provider(
        content_.size() - first, "application/octet-stream",
        [this, first, drops, silent, limit](size_t offset, size_t length, httplib::DataSink& sink) {
          if ((drops || silent) && offset >= limit) {
            if (silent) {
              testing::WaitFor([this] { return stopping_.load(); }, 60s, "the test to end");
            }
            return false;
          }
          size_t n = std::min<size_t>(length, 8192);
          if (drops || silent) n = std::min(n, limit - offset);
          sink.write(content_.data() + first + offset, n);
          return true;
        });
  }

  std::string content_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::vector<std::string> requests_;
  testing::LocalHttpServer http_;  // last: it stops before the rest goes
};

class ResumeTest : public ::testing::Test {
 protected:
  void SetUp() override { content_ = testing::Pattern(kSize, 11); }
  void TearDown() override { EXPECT_TRUE(testing::WaitForEngineThreads()); }

  static bool ChecksumsHold(const std::string& folder, const std::string& name) {
    std::string command = "cd '" + folder + "' && sha256sum --quiet -c '" + name +
                          ".sha256' && sha1sum --quiet -c '" + name + ".sha1'";
    return std::system(command.c_str()) == 0;
  }

  std::string content_;
  testing::TempFolder folder_;
};

TEST_F(ResumeTest, DropsAndSilenceAreResumedToAByteIdenticalFile) {
  {
    FileServer server(content_);
    server.faults.dropTimes = 2;
    server.faults.dropAfter = 40000;
    ReportLog log;
    std::string path = folder_.File("dropped.iso");
    Outcome outcome = RunJob(server.Url("/file"), path, &log);
    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.failure, DownloadFailure::kNone);
    EXPECT_TRUE(testing::ReadFile(path) == content_);
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
    EXPECT_FALSE(std::filesystem::exists(path + ".part.resume"));
    EXPECT_EQ(
        server.Requests(),
        (std::vector<std::string>{"Range=bytes=0- If-Range=", "Range=bytes=40000- If-Range=\"v0\"",
                                  "Range=bytes=80000- If-Range=\"v0\""}));
    ExpectOneDownload(log);
    EXPECT_EQ(log.Count(Failed), 0);
    EXPECT_EQ(log.Reports().back().fraction, 1.0f);
    EXPECT_TRUE(ChecksumsHold(folder_.path(), "dropped.iso"));
  }
  {
    FileServer server(content_);
    server.faults.silentFirst = true;
    server.faults.dropAfter = 30000;
    ReportLog log;
    std::string path = folder_.File("silent.iso");
    Outcome outcome = RunJob(server.Url("/file"), path, &log);
    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.failure, DownloadFailure::kNone);
    EXPECT_TRUE(testing::ReadFile(path) == content_);
    EXPECT_EQ(outcome.attempts, 2);
    ExpectOneDownload(log);
  }
}

TEST_F(ResumeTest, ProgressGivesTheBudgetBackAndFiveTriesWithoutItEndTheDownload) {
  {
    // Every answer breaks off, but each brings more: more than five breaks
    // still end in the whole file.
    FileServer server(content_);
    server.faults.dropTimes = 100;
    server.faults.dropAfter = 20000;
    std::string path = folder_.File("every.iso");
    Outcome outcome = RunJob(server.Url("/file"), path, nullptr);
    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.failure, DownloadFailure::kNone);
    EXPECT_EQ(server.Count(), static_cast<int>(kSize / 20000));
    EXPECT_TRUE(testing::ReadFile(path) == content_);
  }
  // Every answer breaks at the same byte: five continuations bring nothing.
  FileServer server(content_);
  server.faults.stuckAt = 60000;
  ReportLog log;
  std::string path = folder_.File("stuck.iso");
  Outcome outcome = RunJob(server.Url("/file"), path, &log);
  ASSERT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.failure, DownloadFailure::kBrokeOff);
  EXPECT_EQ(server.Count(), 1 + kTriesWithoutProgress);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(testing::ReadFile(path + ".part") == content_.substr(0, 60000));
  ExpectOneDownload(log);
  EXPECT_EQ(log.Count(Failed), 1);
  EXPECT_EQ(log.Reports().back().received, 60000);
}

TEST_F(ResumeTest, ContinuationsThatDoNotFitStartTheFileAgain) {
  struct Case {
    const char* name;
    void (*set)(Faults&);
    DownloadFailure failure;
    int connections;
  };
  const Case cases[] = {
      // Taken as the whole file at once.
      {"resume answered 200", [](Faults& f) { f.resumeWith200 = true; }, DownloadFailure::kNone, 2},
      {"ETag changed between attempts", [](Faults& f) { f.changingEtag = true; },
       DownloadFailure::kNone, 2},
      // Asked again from byte 0.
      {"no ranges served", [](Faults& f) { f.ranges = false; }, DownloadFailure::kNone, 2},
      // Asked once more, then from byte 0, where it is no better: five tries.
      {"range at another offset", [](Faults& f) { f.shiftRange = 1000; }, DownloadFailure::kChanged,
       1 + kTriesWithoutProgress},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FileServer server(content_);
    server.faults.dropTimes = 1;
    server.faults.dropAfter = 50000;
    c.set(server.faults);
    ReportLog log;
    std::string path = folder_.File("misfit.iso");
    Outcome outcome = RunJob(server.Url("/file"), path, &log);
    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.failure, c.failure);
    EXPECT_EQ(server.Count(), c.connections);
    ExpectOneDownload(log, /*freshStart=*/true);
    if (c.failure == DownloadFailure::kNone) {
      EXPECT_TRUE(testing::ReadFile(path) == content_);
      EXPECT_TRUE(ChecksumsHold(folder_.path(), "misfit.iso"));
      EXPECT_EQ(log.Count(Failed), 0);
    } else {
      EXPECT_FALSE(std::filesystem::exists(path));
      EXPECT_TRUE(testing::ReadFile(path + ".part") == content_.substr(0, 50000));
      EXPECT_EQ(log.Count(Failed), 1);
    }
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".part");
    ForgetResumeRecord(path);
  }
}

TEST_F(ResumeTest, AnExpiredLinkIsRenewedOnceAndTheDownloadGoesOn) {
  FileServer server(content_);
  server.faults.dropTimes = 1;
  server.faults.dropAfter = 70000;
  server.faults.goneFor = 410;
  ReportLog log;
  std::string path = folder_.File("renewed.iso");
  Outcome outcome = RunJob(server.Url("/old"), path, &log, [&] { return server.Url("/new"); });
  ASSERT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.failure, DownloadFailure::kNone);
  EXPECT_EQ(outcome.renewals, 1);
  EXPECT_TRUE(testing::ReadFile(path) == content_);
  EXPECT_EQ(server.Requests(),
            (std::vector<std::string>{"Range=bytes=0- If-Range=",
                                      "Range=bytes=70000- If-Range=\"v0\"",  // 410 on /old
                                      "Range=bytes=70000- If-Range=\"v0\""}));
  ExpectOneDownload(log);

  // No fresh link to be had: the file is gone.
  FileServer expired(content_);
  expired.faults = server.faults;
  std::string other = folder_.File("gone.iso");
  outcome = RunJob(expired.Url("/old"), other, nullptr, [] { return Text(); });
  EXPECT_EQ(outcome.failure, DownloadFailure::kGone);
  EXPECT_EQ(outcome.renewals, 1);
  EXPECT_TRUE(testing::ReadFile(other + ".part") == content_.substr(0, 70000));
}

TEST_F(ResumeTest, APartBegunOverHttpsIsNotContinuedOverHttp) {
  testing::TrustTestCertificate();
  FileServer secure(content_, /*tls=*/true);
  secure.faults.dropTimes = 1;
  secure.faults.dropAfter = 70000;
  secure.faults.goneFor = 410;
  FileServer plain(content_);
  std::string path = folder_.File("downgraded.iso");
  ReportLog log;
  // The fresh link names the same file over http: taken, but from byte 0.
  Outcome outcome = RunJob(secure.Url("/old"), path, &log, [&] { return plain.Url("/file"); });
  ASSERT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.failure, DownloadFailure::kNone);
  EXPECT_TRUE(testing::ReadFile(path) == content_);
  ASSERT_GE(plain.Count(), 2);
  EXPECT_EQ(plain.Requests()[0], "Range=bytes=70000- If-Range=\"v0\"");  // refused
  EXPECT_EQ(plain.Requests().back(), "Range=bytes=0- If-Range=");
  ExpectOneDownload(log, /*freshStart=*/true);
}

TEST_F(ResumeTest, APartFileWithItsRecordIsContinuedInALaterRun) {
  FileServer server(content_);
  server.faults.stuckAt = 180000;
  std::string path = folder_.File("later.iso");
  ASSERT_EQ(RunJob(server.Url("/file"), path, nullptr).failure, DownloadFailure::kBrokeOff);
  ASSERT_EQ(ResumableBytes(path), 180000);

  // A busy answer first: the part is asked for again, not thrown away.
  server.faults.stuckAt = 0;
  server.faults.busyNext = 1;
  ReportLog log;
  Outcome outcome = RunJob(server.Url("/file"), path, &log);
  ASSERT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.failure, DownloadFailure::kNone);
  EXPECT_TRUE(testing::ReadFile(path) == content_);
  const std::vector<std::string> requests = server.Requests();
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(requests[requests.size() - 2], "Range=bytes=180000- If-Range=\"v0\"");
  EXPECT_EQ(requests.back(), "Range=bytes=180000- If-Range=\"v0\"");
  // Started runs on a thread of its own and may come late, never below the part.
  EXPECT_GE(log.Reports().front().received, 180000);
  ExpectOneDownload(log);
  // The digests cover the prefix written by the earlier run too.
  EXPECT_TRUE(ChecksumsHold(folder_.path(), "later.iso"));
}

TEST_F(ResumeTest, APartFileThatCannotBeContinuedIsFetchedAnew) {
  FileServer server(content_);
  std::string garbage(90000, 'g');
  // Without a record: from byte 0.
  std::string bare = folder_.File("bare.iso");
  testing::WriteFile(bare + ".part", garbage);
  ASSERT_EQ(RunJob(server.Url("/file"), bare, nullptr).failure, DownloadFailure::kNone);
  EXPECT_TRUE(testing::ReadFile(bare) == content_);
  EXPECT_EQ(server.Requests().back(), "Range=bytes=0- If-Range=");

  // With a record of another version: the If-Range fails and all of it comes.
  std::string stale = folder_.File("stale.iso");
  testing::WriteFile(stale + ".part", garbage);
  ASSERT_TRUE(StoreResumeRecord(stale, {static_cast<int64_t>(kSize), "\"old\"", false}));
  ReportLog log;
  ASSERT_EQ(RunJob(server.Url("/file"), stale, &log).failure, DownloadFailure::kNone);
  EXPECT_TRUE(testing::ReadFile(stale) == content_);
  EXPECT_EQ(server.Requests().back(), "Range=bytes=90000- If-Range=\"old\"");
  EXPECT_TRUE(ChecksumsHold(folder_.path(), "stale.iso"));
  ExpectOneDownload(log);
}

TEST_F(ResumeTest, TooLittleFreeSpaceEndsBeforeAnythingIsWritten) {
  testing::RawServer server("HTTP/1.1 200 OK\r\nContent-Length: 1125899906842624\r\n\r\nxxxx",
                            testing::RawServer::AfterAnswer::kClose);
  std::string path = folder_.File("huge.iso");
  ReportLog log;
  Outcome outcome = RunJob(server.Url("/x"), path, &log);
  ASSERT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.failure, DownloadFailure::kNoSpace);
  EXPECT_EQ(log.Statuses(), (std::vector<int32_t>{Failed, Ended}));
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ResumeTest, AStopDuringTheWaitBetweenTriesEndsWithinASecond) {
  FileServer server(content_);
  server.faults.dropTimes = 100;
  server.faults.dropAfter = 20000;
  ReportLog log;
  auto done = std::make_shared<AutoResetEvent>();
  auto job = std::make_unique<DownloadJob>();
  ASSERT_TRUE(job->Start(server.Url("/file"), folder_.File("stop.iso"), log.Callback(), 1, done));
  // The fourth wait lasts 8 s: stop inside it.
  ASSERT_TRUE(testing::WaitFor([&] { return server.Count() >= 4; }, 20s, "the third continuation"));
  ASSERT_EQ(server.Count(), 4);
  std::this_thread::sleep_for(200ms);
  auto before = std::chrono::steady_clock::now();
  job->Stop();
  ASSERT_TRUE(log.WaitEnded(2s)) << "no Ended after the stop";
  EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
  job.reset();
  EXPECT_EQ(server.Count(), 4);
  EXPECT_EQ(log.Count(Ended), 1);
}

TEST(ResumeRulesTest, ContentRangesAndValidators) {
  std::optional<ContentRange> range = ParseContentRange("bytes 100-199/5368709243");
  ASSERT_TRUE(range);
  EXPECT_EQ(range->first, 100);
  EXPECT_EQ(range->total, 5368709243);
  EXPECT_FALSE(ParseContentRange("bytes 100-199/*")->total);
  for (const char* bad :
       {"bytes 200-100/300", "bytes 0-299/300x", "items 0-1/2", "bytes 0-299/299", "bytes -5/10"}) {
    EXPECT_FALSE(ParseContentRange(bad)) << bad;
  }
  net::ResponseHead head;
  head.rawHeaders =
      "HTTP/1.1 206 Partial\r\nLast-Modified: Tue, 01 Dec 2026 10:00:00 GMT\r\n"
      "ETag: W/\"weak\"\r\n\r\n";
  // A weak ETag cannot go into If-Range; the date can.
  EXPECT_EQ(ValidatorOf(head), "Tue, 01 Dec 2026 10:00:00 GMT");
  EXPECT_EQ(RangeRequestLines(0, ""), (std::vector<std::string>{"Range:bytes=0-"}));
}

}  // namespace
}  // namespace tw
