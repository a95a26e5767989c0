// Answers that try to hold or bloat a transfer: framing that cannot be
// trusted, a body past its announced length, a redirect that keeps sending,
// a body that trickles. Each must end, with no byte past what was announced.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "net/response_rules.h"
#include "net/transfer.h"
#include "tests/net/collect_sink.h"
#include "tests/support/raw_server.h"

namespace tw::net {
namespace {

using namespace std::chrono_literals;
using tw::testing::RawServer;

Request Get(const RawServer& server, const std::string& path) {
  Request request;
  request.url = SplitUrl(server.Url(path)).value();
  return request;
}

// Sends `chunk` as HTTP chunks until the client goes or `limit` bytes went.
void SendChunksForever(int socket, const std::string& chunk, size_t limit = 64u << 20) {
  char size[32];
  std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
  const std::string piece = size + chunk + "\r\n";
  for (size_t sent = 0; sent < limit; sent += piece.size()) {
    if (!RawServer::Send(socket, piece)) return;
  }
}

TEST(ResponseFraming, LengthsThatDisagreeOrSitBesideChunkingAreRefused) {
  RawServer server([](int s, const std::string& head) {
    if (head.starts_with("GET /two")) {
      RawServer::Send(s, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nContent-Length: 100\r\n\r\n" +
                             std::string(100, 'x'));
    } else if (head.starts_with("GET /list")) {
      RawServer::Send(s, "HTTP/1.1 200 OK\r\nContent-Length: 4, 5\r\n\r\nabcde");
    } else if (head.starts_with("GET /chunked")) {
      RawServer::Send(s,
                      "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n"
                      "3\r\nabc\r\n0\r\n\r\n");
    } else {  // the same length twice is one length
      RawServer::Send(s,
                      "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nContent-Length: 4, 4\r\n\r\nbody");
    }
  });
  for (const char* path : {"/two", "/list", "/chunked"}) {
    Collect sink;
    Transfer transfer(Get(server, path));
    EXPECT_EQ(transfer.Run(sink), TransferEnd::kBadResponse) << path;
    EXPECT_EQ(sink.responses, 0) << path;
    EXPECT_FALSE(transfer.detail().empty());
  }
  Collect same;
  EXPECT_EQ(Transfer(Get(server, "/same")).Run(same), TransferEnd::kComplete);
  EXPECT_EQ(same.body, "body");
  EXPECT_EQ(same.head.contentLength, 4);
}

TEST(ResponseBounds, AChunkedBodyEndsWhereItsRangeSaidItWould) {
  // 206 "bytes 0-99/100", then chunks without end.
  RawServer server([](int s, const std::string&) {
    RawServer::Send(s,
                    "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-99/100\r\n"
                    "Transfer-Encoding: chunked\r\n\r\n");
    SendChunksForever(s, std::string(4096, 'r'));
  });
  Collect sink;
  Request request = Get(server, "/file");
  request.headerLines = {"Range: bytes=0-"};
  EXPECT_EQ(Transfer(std::move(request)).Run(sink), TransferEnd::kOverrun);
  EXPECT_EQ(sink.body, std::string(100, 'r'));
}

TEST(ResponseBounds, ARedirectThatKeepsSendingIsFollowedAfter64KiB) {
  RawServer server([](int s, const std::string& head) {
    if (head.starts_with("GET /final")) {
      RawServer::Send(s, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfinal");
      return;
    }
    RawServer::Send(s,
                    "HTTP/1.1 302 Found\r\nLocation: /final\r\nTransfer-Encoding: chunked\r\n\r\n");
    SendChunksForever(s, std::string(8192, 'z'));
  });
  Collect followed;
  Transfer transfer(Get(server, "/start"));
  EXPECT_EQ(transfer.Run(followed), TransferEnd::kComplete);
  EXPECT_EQ(followed.body, "final");
  EXPECT_EQ(transfer.redirectsFollowed(), 1);

  // Not followed, it is the response: its head arrives, 64 KiB of its body at most.
  Request kept = Get(server, "/start");
  kept.followRedirects = false;
  Collect notFollowed;
  EXPECT_EQ(Transfer(std::move(kept)).Run(notFollowed), TransferEnd::kTooLarge);
  EXPECT_EQ(notFollowed.head.status, 302);
  EXPECT_EQ(notFollowed.head.Header("Location"), "/final");
  EXPECT_LE(notFollowed.body.size(), 64u * 1024);
}

TEST(ResponseBounds, ATrickleBelowTheMinimumSpeedCountsAsSilence) {
  std::atomic<bool> stopping{false};
  RawServer server([&stopping](int s, const std::string&) {
    RawServer::Send(s, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    // A byte every 50 ms: never silent for the receive limit, far too slow.
    for (int i = 0; i < 400 && !stopping; ++i) {
      if (!RawServer::Send(s, "t")) return;
      std::this_thread::sleep_for(50ms);
    }
  });
  Request request = Get(server, "/slow");
  request.timeouts.receiveMs = 1000;
  request.timeouts.minSpeedBytes = 1000;
  request.timeouts.minSpeedWindowMs = 1500;
  Collect sink;
  Transfer transfer(std::move(request));
  EXPECT_EQ(transfer.Run(sink), TransferEnd::kSilent);
  EXPECT_NE(transfer.detail().find("fewer than 1000 bytes"), std::string::npos)
      << transfer.detail();
  EXPECT_FALSE(sink.body.empty());
  stopping = true;
}

TEST(ResponseRules, AnnouncedLengthIsTheLengthElseTheOneRange) {
  ResponseHead head;
  head.status = 206;
  head.rawHeaders = "HTTP/1.1 206 Partial\r\nContent-Range: bytes 100-199/5368709243\r\n\r\n";
  EXPECT_EQ(AnnouncedLength(head), 100);
  head.rawHeaders += "Content-Range: bytes 0-9/10\r\n";  // two ranges announce nothing
  EXPECT_EQ(AnnouncedLength(head), std::nullopt);
  head.rawHeaders = "HTTP/1.1 206 Partial\r\nContent-Length: 7\r\n\r\n";
  EXPECT_EQ(AnnouncedLength(head), 7);
}

TEST(ResponseRules, StatusLinesGiveThreeDigitsOrNothing) {
  EXPECT_EQ(ParseStatusLine("HTTP/1.1 206 Partial Content"), 206);
  EXPECT_EQ(ParseStatusLine("HTTP/2 200"), 200);
  for (const char* line : {"HTTP/1.1 2000 OK", "HTTP/1.1 020 OK", "HTTP/1.1 20", "HTTP/1.1", ""}) {
    EXPECT_EQ(ParseStatusLine(line), 0) << line;
  }
}

TEST(ResponseRules, OnlyAnUnencodedSingleRangeIsTheFilesOwnBytes) {
  ResponseHead head;
  head.status = 206;
  head.rawHeaders =
      "HTTP/1.1 206 P\r\nContent-Encoding: Identity\r\nContent-Range: bytes 5-9/10\r\n\r\n";
  EXPECT_EQ(CodingProblem(head), std::nullopt);
  EXPECT_EQ(ReadSingleRange(head).range->first, 5);
  head.contentLength = 4;  // not the range's span
  EXPECT_EQ(ReadSingleRange(head).problem, "a 206 whose length is not its range's");
  head.contentLength.reset();
  head.rawHeaders += "Content-Encoding: gzip\r\n";
  EXPECT_EQ(CodingProblem(head), "the body is encoded (gzip)");
  head.rawHeaders = "HTTP/1.1 206 P\r\nContent-Type: multipart/byteranges; boundary=B\r\n\r\n";
  EXPECT_EQ(ReadSingleRange(head).problem, "a 206 of several ranges");
}

}  // namespace
}  // namespace tw::net
