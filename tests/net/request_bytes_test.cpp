// The exact bytes a server receives from the download's GET and from
// HttpFetch: what the platform would send and nothing else.
#include <gtest/gtest.h>

#include "download/http_get.h"
#include "tests/support/raw_server.h"
#include "web/http_fetch.h"

namespace tw {
namespace {

using testing::RawServer;

// The request heads differ by platform in two ways only. WinHTTP writes every
// header line as name, colon, blank, value (the download's "Range:bytes=0-"
// goes out as "Range: bytes=0-"), and it announces keep-alive on every
// request, where libcurl relies on HTTP/1.1's default.
#if defined(_WIN32)
const std::string kSentRange = "Range: bytes=0-\r\n";
std::string Received(std::string head) {
  const std::string keepAlive = "Connection: Keep-Alive\r\n";
  if (std::size_t at = head.find(keepAlive); at != std::string::npos)
    head.erase(at, keepAlive.size());
  return head;
}
#else
const std::string kSentRange = "Range:bytes=0-\r\n";
std::string Received(std::string head) { return head; }
#endif

TEST(RequestBytes, DownloadAndHttpFetchSendExactlyTheirHeaders) {
  RawServer server([](int socket, const std::string&) {
    RawServer::Send(socket, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  });
  std::string host = "127.0.0.1:" + std::to_string(server.port());

  HttpGetSink sink;
  HttpGetOutcome outcome = RunHttpGet("http://" + host + "/images/a b.iso", sink);
  EXPECT_EQ(outcome.result, HttpGetResult::Completed) << outcome.error;
  ASSERT_EQ(HttpFetch("http://" + host + "/page?id=1"), "ok");

  std::vector<std::string> requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(Received(requests[0]),
            "GET /images/a%20b.iso HTTP/1.1\r\n"
            "Host: " +
                host +
                "\r\n"
                "User-Agent: " +
                std::string(kDownloadUserAgent) + "\r\n" + kSentRange + "\r\n");
  EXPECT_EQ(Received(requests[1]),
            "GET /page?id=1 HTTP/1.1\r\n"
            "Host: " +
                host +
                "\r\n"
                "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; "
                "Trident/5.0)\r\n"
                "Accept: text/html, application/xhtml+xml, */*\r\n"
                "Accept-Encoding: gbk, GB2312\r\n"
                "Accept-Language: zh-cn\r\n"
                "Cache-Control: no-cache\r\n"
                "\r\n");
}

TEST(RequestBytes, DownloadSendsTheCallersHeaderLinesInsteadOfTheRange) {
  RawServer server([](int socket, const std::string&) {
    RawServer::Send(socket,
                    "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 5-6/7\r\n"
                    "ETag: \"e\"\r\nContent-Length: 2\r\n\r\nok");
  });
  HttpGetOptions resume;
  resume.headerLines = {"Range: bytes=5-", "If-Range: \"e\""};
  int status = 0;
  std::optional<Text> range;
  HttpGetSink sink;
  sink.begin = [&](const net::ResponseHead& head) {
    status = head.status;
    range = head.Header("Content-Range");
    return true;
  };
  HttpGetOutcome outcome =
      RunHttpGet("http://127.0.0.1:" + std::to_string(server.port()) + "/f", sink, resume);
  EXPECT_EQ(outcome.result, HttpGetResult::Completed);
  EXPECT_EQ(outcome.end, net::TransferEnd::kComplete);
  EXPECT_EQ(status, 206);
  EXPECT_EQ(range, "bytes 5-6/7");
  std::string head = Received(server.requests().at(0));
  EXPECT_NE(head.find("\r\nRange: bytes=5-\r\nIf-Range: \"e\"\r\n\r\n"), std::string::npos) << head;
  EXPECT_EQ(head.find("Range:bytes=0-"), std::string::npos);
}

}  // namespace
}  // namespace tw
