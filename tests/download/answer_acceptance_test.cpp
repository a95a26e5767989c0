// Answers that are not the file's own bytes, or only some of them, on either
// transport: refused and tried again until the budget says why; a range that
// ends short taken and the rest asked for; a file replaced on the server
// started again.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "download/attempt_decision.h"
#include "download/digest.h"
#include "download/download_job.h"
#include "tests/download/job_run.h"
#include "tests/download/report_log.h"
#include "tests/support/files.h"
#include "tests/support/raw_server.h"
#include "tests/support/refused_port.h"
#include "tests/support/temp_folder.h"

namespace tw {
namespace {

using testing::ExpectOneDownload;
using testing::Outcome;
using testing::ReportLog;
using testing::RunJob;

constexpr size_t kSize = 200000;

class AnswerAcceptanceTest : public ::testing::Test {
 protected:
  void SetUp() override { content_ = testing::Pattern(kSize, 11); }
  void TearDown() override { EXPECT_TRUE(testing::WaitForEngineThreads()); }

  std::string content_;
  testing::TempFolder folder_;
};

TEST_F(AnswerAcceptanceTest, FirstResponsesThatAreNotTheFileAreTriedAgainThenSayWhy) {
  std::string path = folder_.File("first.iso");
  const auto run = [&](const testing::RawServer& server) {
    Outcome outcome = RunJob(server.Url("/x"), path, nullptr);
    EXPECT_TRUE(outcome.ended);
    return outcome;
  };
  Outcome refused =
      RunJob("http://127.0.0.1:" + std::to_string(testing::RefusedPort()) + "/x", path, nullptr);
  EXPECT_EQ(refused.failure, DownloadFailure::kUnreachable);
  EXPECT_EQ(refused.attempts, kTriesWithoutProgress);
  struct Case {
    const char* name;
    std::string answer;
    DownloadFailure failure;
    int connections;
  } cases[] = {
      {"busy", "HTTP/1.1 503 Busy\r\nContent-Length: 4\r\n\r\nbusy", DownloadFailure::kBusy,
       kTriesWithoutProgress},
      {"busy for a while", "HTTP/1.1 429 Slow down\r\nRetry-After: 0\r\nContent-Length: 0\r\n\r\n",
       DownloadFailure::kBusy, kTriesWithoutProgress},
      {"busy for long", "HTTP/1.1 503 Busy\r\nRetry-After: 61\r\nContent-Length: 0\r\n\r\n",
       DownloadFailure::kBusy, 1},
      {"not found", "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\nnone",
       DownloadFailure::kGone, 1},
      {"a range from elsewhere",
       "HTTP/1.1 206 Partial\r\nContent-Range: bytes 5-9/10\r\nContent-Length: 5\r\n\r\n12345",
       DownloadFailure::kChanged, kTriesWithoutProgress},
      {"encoded", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 4\r\n\r\nzzzz",
       DownloadFailure::kBadAnswer, kTriesWithoutProgress},
      {"several ranges",
       "HTTP/1.1 206 Partial\r\nContent-Type: multipart/byteranges; boundary=B\r\n"
       "Content-Length: 8\r\n\r\n--B--\r\n\r\n",
       DownloadFailure::kBadAnswer, kTriesWithoutProgress},
      {"two lengths",
       "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nContent-Length: 100\r\n\r\nxxxxxxxxxx",
       DownloadFailure::kBadAnswer, kTriesWithoutProgress},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::RawServer server(c.answer, testing::RawServer::AfterAnswer::kClose);
    EXPECT_EQ(run(server).failure, c.failure);
    EXPECT_EQ(server.Accepted(), c.connections);
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
  }
}

TEST_F(AnswerAcceptanceTest, AShortRangeIsTakenAndTheRestAskedFor) {
  // Each answer is a 206 of at most 30000 bytes from where it was asked.
  testing::RawServer server([this](int socket, const std::string& head) {
    const size_t at = head.find("bytes=");
    const size_t first = std::stoul(head.substr(at + 6));
    const size_t last = std::min(first + 29999, kSize - 1);
    testing::RawServer::Send(
        socket, "HTTP/1.1 206 Partial\r\nETag: \"s\"\r\nContent-Range: bytes " +
                    std::to_string(first) + "-" + std::to_string(last) + "/" +
                    std::to_string(kSize) +
                    "\r\nContent-Length: " + std::to_string(last - first + 1) + "\r\n\r\n" +
                    content_.substr(first, last - first + 1));
  });
  std::string path = folder_.File("short.iso");
  ReportLog log;
  Outcome outcome = RunJob(server.Url("/x"), path, &log);
  ASSERT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.failure, DownloadFailure::kNone);
  EXPECT_EQ(server.Accepted(), static_cast<int>((kSize + 29999) / 30000));
  EXPECT_TRUE(testing::ReadFile(path) == content_);
  ExpectOneDownload(log);
}

// The file is replaced on the server after the first connection broke off at
// 50000 bytes: a server that honours If-Range answers the continuation with the
// whole new file (200), one that ignores it sends a range of the new version.
// Either way the download starts again and ends with the new file alone.
TEST_F(AnswerAcceptanceTest, AFileReplacedMidDownloadEndsAsTheNewFileWithItsChecksums) {
  const std::string replaced = testing::Pattern(kSize, 12);
  const auto digestOf = [](const std::string& bytes) {
    std::unique_ptr<Digest> digest = MakeDigest(DigestKind::kSha256);
    digest->Update(bytes.data(), bytes.size());
    return digest->FinishHex();
  };
  for (const bool honoursIfRange : {true, false}) {
    SCOPED_TRACE(honoursIfRange ? "If-Range honoured" : "If-Range ignored");
    std::atomic<int> served{0};
    testing::RawServer server([&](int socket, const std::string& head) {
      const size_t at = head.find("bytes=");
      const size_t first = at == std::string::npos ? 0 : std::stoul(head.substr(at + 6));
      if (served++ == 0) {
        testing::RawServer::Send(socket,
                                 "HTTP/1.1 206 Partial\r\nETag: \"a\"\r\nContent-Range: bytes 0-" +
                                     std::to_string(kSize - 1) + "/" + std::to_string(kSize) +
                                     "\r\nContent-Length: " + std::to_string(kSize) + "\r\n\r\n" +
                                     content_.substr(0, 50000));
        return;  // closed: the connection breaks off
      }
      const bool whole = honoursIfRange && head.find("If-Range") != std::string::npos;
      const size_t from = whole ? 0 : first;
      const std::string status = whole ? "200 OK" : "206 Partial";
      const std::string range = whole ? ""
                                      : "Content-Range: bytes " + std::to_string(from) + "-" +
                                            std::to_string(kSize - 1) + "/" +
                                            std::to_string(kSize) + "\r\n";
      testing::RawServer::Send(socket, "HTTP/1.1 " + status + "\r\nETag: \"b\"\r\n" + range +
                                           "Content-Length: " + std::to_string(kSize - from) +
                                           "\r\n\r\n" + replaced.substr(from));
    });
    const std::string path = folder_.File(honoursIfRange ? "honoured.iso" : "ignored.iso");
    ReportLog log;
    const Outcome outcome = RunJob(server.Url("/x"), path, &log);
    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.failure, DownloadFailure::kNone);
    EXPECT_EQ(server.Accepted(), honoursIfRange ? 2 : 3);
    ExpectOneDownload(log, /*freshStart=*/true);
    EXPECT_TRUE(testing::ReadFile(path) == replaced);
    EXPECT_EQ(testing::ReadFile(path + ".sha256").substr(0, 64), digestOf(replaced));
  }
}

}  // namespace
}  // namespace tw
