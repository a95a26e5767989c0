// Transfers against servers on 127.0.0.1: what reaches the server, the
// redirect rules, credentials and cookies across hops, the time limits, heads
// ended by bare line feeds, bodies that cannot be sent or are too large, and
// waking.
#include "net/transfer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/net/collect_sink.h"
#include "tests/support/full_backlog_listener.h"
#include "tests/support/http_server.h"
#include "tests/support/raw_server.h"
#include "tests/support/refused_port.h"
#include "tests/support/slow_lookup.h"
#include "tests/support/test_certificate.h"
#include "tests/support/wait_for.h"

namespace tw::net {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using tw::testing::RawServer;

std::string Base(int port, const char* host = "127.0.0.1") {
  return std::string("http://") + host + ":" + std::to_string(port);
}

Request Get(const std::string& url) {
  Request request;
  request.url = SplitUrl(url).value();
  return request;
}

TransferEnd RunOnce(Request request, Collect& sink) {
  Transfer transfer(std::move(request));
  return transfer.Run(sink);
}

void Answer(int socket, const std::string& head) { RawServer::Send(socket, head); }

// The value of a header line in a recorded request head; "" when absent.
std::string HeaderIn(const std::string& requestHead, const std::string& name) {
  for (const Text& line : SplitText(requestHead, "\r\n")) {
    if (StartsWithText(line, name + ":", true)) return Trim(line.substr(name.size() + 1));
  }
  return "";
}
int CountLines(const std::string& requestHead, const std::string& name) {
  int n = 0;
  for (const Text& line : SplitText(requestHead, "\r\n"))
    n += StartsWithText(line, name + ":", true);
  return n;
}

TEST(TransferUrl, EscapedObjectAndNoUserPartReachTheServer) {
  RawServer server([](int s, const std::string&) {
    Answer(s, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  });
  std::string url =
      "http://user:pw@127.0.0.1:" + std::to_string(server.port()) + "/a b.iso?id=\x7F";
  Collect sink;
  ASSERT_EQ(RunOnce(Get(url), sink), TransferEnd::kComplete);
  EXPECT_EQ(sink.body, "ok");
  EXPECT_EQ(sink.head.status, 200);
  EXPECT_EQ(sink.head.contentLength, 2);
  std::string head = server.requests().at(0);
  EXPECT_TRUE(head.starts_with("GET /a%20b.iso?id=%7F HTTP/1.1\r\n")) << head;
  EXPECT_EQ(HeaderIn(head, "Authorization"), "");
}

TEST(TransferRedirects, TenHopsAtMost) {
  std::atomic<int> hops{0};
  // "/hop/N" redirects N more times; "/endless" for ever.
  RawServer loop([&hops](int s, const std::string& head) {
    hops.fetch_add(1);
    std::string path = head.substr(4, head.find(' ', 4) - 4);
    if (path == "/hop/0") {
      Answer(s, "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nend");
      return;
    }
    std::string next =
        path.starts_with("/hop/") ? "/hop/" + std::to_string(std::stoi(path.substr(5)) - 1) : path;
    Answer(s, "HTTP/1.1 302 Found\r\nLocation: " + next + "\r\nContent-Length: 4\r\n\r\nhop!");
  });
  // Ten redirects, then the body: complete, the redirect bodies dropped.
  Collect ten;
  Transfer tenHops(Get(Base(loop.port()) + "/hop/10"));
  EXPECT_EQ(tenHops.Run(ten), TransferEnd::kComplete);
  EXPECT_EQ(ten.body, "end");
  EXPECT_EQ(ten.responses, 1);
  EXPECT_EQ(tenHops.redirectsFollowed(), 10);

  // An eleventh redirect ends the transfer without a response.
  hops = 0;
  Collect endless;
  EXPECT_EQ(RunOnce(Get(Base(loop.port()) + "/endless"), endless), TransferEnd::kTooManyRedirects);
  EXPECT_EQ(endless.responses, 0);
  EXPECT_EQ(hops.load(), 11);

  // Not followed: the redirect is the response.
  Collect notFollowed;
  Request request = Get(Base(loop.port()) + "/endless");
  request.followRedirects = false;
  EXPECT_EQ(RunOnce(request, notFollowed), TransferEnd::kComplete);
  EXPECT_EQ(notFollowed.head.status, 302);
  EXPECT_EQ(notFollowed.body, "hop!");
}

TEST(TransferRedirects, PostTurnsIntoGetOn301To303Only) {
  RawServer server([](int s, const std::string& head) {
    std::string path =
        head.substr(head.find(' ') + 1, head.find(' ', head.find(' ') + 1) - head.find(' ') - 1);
    if (path.starts_with("/code/")) {
      Answer(s, "HTTP/1.1 " + path.substr(6) +
                    " Moved\r\nLocation: /seen\r\nContent-Length: 0\r\n\r\n");
      return;
    }
    // The body of a request that kept its method follows its head.
    std::string method = head.substr(0, head.find(' '));
    std::string length = HeaderIn(head, "Content-Length");
    Answer(s, "HTTP/1.1 200 OK\r\nContent-Length: " +
                  std::to_string(method.size() + 1 + length.size()) + "\r\n\r\n" + method + " " +
                  length);
  });
  for (const char* code : {"301", "302", "303", "307", "308"}) {
    Request post = Get(Base(server.port()) + "/code/" + code);
    post.method = "POST";
    post.body = {'a', '=', '1'};
    post.headerLines = {"Content-Type: text/plain"};
    Collect sink;
    EXPECT_EQ(RunOnce(post, sink), TransferEnd::kComplete) << code;
    bool turns = std::string(code) < "307";
    EXPECT_EQ(sink.body, turns ? "GET " : "POST 3") << code;
  }
}

TEST(TransferCredentials, BasicCredentialsAndCookiesStayWithTheirHost) {
  // The second host: same address, another name; it records what it got.
  RawServer second([](int s, const std::string&) {
    Answer(s, "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nsecond");
  });
  RawServer first([&second](int s, const std::string& head) {
    if (head.starts_with("GET /away")) {
      Answer(s, "HTTP/1.1 302 Found\r\nSet-Cookie: hop=1; Path=/\r\nLocation: " +
                    Base(second.port(), "localhost") + "/landed\r\nContent-Length: 0\r\n\r\n");
    } else if (head.starts_with("GET /stay")) {
      Answer(s,
             "HTTP/1.1 302 Found\r\nSet-Cookie: hop=1; Path=/\r\nSet-Cookie: x=new\r\n"
             "Location: /here\r\nContent-Length: 0\r\n\r\n");
    } else {
      Answer(s, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nhere");
    }
  });
  auto request = [](const std::string& url) {
    Request r = Get(url);
    r.server = {"user", "pass"};
    r.headerLines = {"Cookie: x=0; keep=1"};
    r.carryCookies = true;
    return r;
  };
  Collect stay;
  ASSERT_EQ(RunOnce(request(Base(first.port()) + "/stay"), stay), TransferEnd::kComplete);
  EXPECT_EQ(stay.body, "here");
  std::vector<std::string> atFirst = first.requests();
  ASSERT_EQ(atFirst.size(), 2u);
  EXPECT_EQ(HeaderIn(atFirst[1], "Authorization"), "Basic dXNlcjpwYXNz");
  EXPECT_EQ(CountLines(atFirst[1], "Cookie"), 1);
  EXPECT_EQ(HeaderIn(atFirst[1], "Cookie"), "x=new; keep=1; hop=1");

  Collect away;
  ASSERT_EQ(RunOnce(request(Base(first.port()) + "/away"), away), TransferEnd::kComplete);
  EXPECT_EQ(away.body, "second");
  EXPECT_EQ(HeaderIn(first.requests().at(2), "Authorization"), "Basic dXNlcjpwYXNz");
  std::vector<std::string> atSecond = second.requests();
  ASSERT_EQ(atSecond.size(), 1u);
  EXPECT_EQ(HeaderIn(atSecond[0], "Authorization"), "");
  EXPECT_EQ(CountLines(atSecond[0], "Cookie"), 1);
  EXPECT_EQ(HeaderIn(atSecond[0], "Cookie"), "x=0; keep=1");
}

// Short limits through the interface. The servers hold out far longer than
// the limits and note a client that left them first: that is how each end is
// known to come from the limit and not from the server.
class TransferTimeouts : public ::testing::Test {
 protected:
  static constexpr int32_t kLimitMs = 600;
  static constexpr int kHoldMs = 30000;
  TransferEnd RunLimited(const std::string& url, Collect& sink) {
    Request request = Get(url);
    request.timeouts = Timeouts::All(kLimitMs);
    return RunOnce(std::move(request), sink);
  }
  // Holds a connection until the client leaves or kHoldMs pass.
  void Hold(int socket) {
    if (RawServer::WaitForClose(socket, stopping_, kHoldMs)) ++left_;
  }
  ::testing::AssertionResult ClientsLeft(int count) {
    return tw::testing::WaitFor([&] { return left_.load() == count; }, 10s,
                                "the server to see the client leave");
  }
  void TearDown() override { stopping_ = true; }

  std::atomic<bool> stopping_{false};
  std::atomic<int> left_{0};
};

TEST_F(TransferTimeouts, SilenceBeforeTheHeadAndMidBody) {
  RawServer silent([this](int s, const std::string&) { Hold(s); });
  Collect none;
  EXPECT_EQ(RunLimited(Base(silent.port()) + "/", none), TransferEnd::kNoResponse);
  EXPECT_TRUE(ClientsLeft(1));
  EXPECT_EQ(none.responses, 0);
  // The same silence met by a TLS handshake: the connection never stood.
  EXPECT_EQ(RunLimited("https://127.0.0.1:" + std::to_string(silent.port()) + "/", none),
            TransferEnd::kCouldNotConnect);
  EXPECT_TRUE(ClientsLeft(2));

  RawServer stalling([this](int s, const std::string&) {
    RawServer::Send(s, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\npart");
    Hold(s);
  });
  Collect part;
  EXPECT_EQ(RunLimited(Base(stalling.port()) + "/", part), TransferEnd::kSilent);
  EXPECT_TRUE(ClientsLeft(3));
  EXPECT_EQ(part.body, "part");
  EXPECT_EQ(part.head.contentLength, 100000);
}

// Left alone, the system gives up on such a connect only after minutes, past
// the test's own limit.
TEST_F(TransferTimeouts, ConnectThatNeverCompletes) {
  tw::testing::FullBacklogListener listener;
  Collect sink;
  EXPECT_EQ(RunLimited(Base(listener.port()) + "/", sink), TransferEnd::kCouldNotConnect);
}

TEST_F(TransferTimeouts, ANameLookupThatHangsEndsAtTheLookupLimit) {
  tw::testing::SetSlowLookupLimit(30s);
  Collect sink;
  EXPECT_EQ(RunLimited(std::string("http://") + tw::testing::kSlowLookupHost + "/x", sink),
            TransferEnd::kCouldNotConnect);
  // The lookup itself was still waiting: the transfer's own limit ended it.
  EXPECT_EQ(tw::testing::SlowLookupsWaiting(), 1);
  // Its thread was left behind; it finishes before the process may end.
  EXPECT_TRUE(tw::testing::ReleaseSlowLookups(10s));
  std::this_thread::sleep_for(50ms);
}

TEST_F(TransferTimeouts, PlatformDefaultsWhereNoneAreSet) {
  Timeouts defaults;
  EXPECT_EQ(defaults.resolveMs, 30000);
  EXPECT_EQ(defaults.connectMs, 60000);
  EXPECT_EQ(defaults.sendMs, 30000);
  EXPECT_EQ(defaults.receiveMs, 30000);
  EXPECT_EQ(defaults.minSpeedBytes, 32 * 1024);
  EXPECT_EQ(defaults.minSpeedWindowMs, 30000);
}

TEST(TransferHead, BareLineFeedsReadAsLines) {
  RawServer server([](int s, const std::string&) {
    Answer(s, "HTTP/1.1 200 Fine\nSet-Cookie: a=1\nETag: \"v1\"\nContent-Length: 4\n\nbody");
  });
  Collect sink;
  ASSERT_EQ(RunOnce(Get(Base(server.port()) + "/"), sink), TransferEnd::kComplete);
  EXPECT_EQ(sink.head.rawHeaders,
            "HTTP/1.1 200 Fine\r\nSet-Cookie: a=1\r\nETag: \"v1\"\r\nContent-Length: 4\r\n\r\n");
  EXPECT_EQ(sink.head.Header("etag"), "\"v1\"");
  EXPECT_EQ(sink.head.Header("Last-Modified"), std::nullopt);
  EXPECT_EQ(sink.body, "body");
}

TEST(TransferBody, LargeTlsBodyArrivesWholeOnAKeptConnection) {
  // Records read ahead must reach the sink although the socket stays quiet:
  // the server keeps the connection open for seconds after the last byte.
  std::string content(3 * 1024 * 1024 + 123, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 + i / 4096);
  tw::testing::TrustTestCertificate();
  tw::testing::LocalHttpServer server(true);
  server.server().Get("/big", [&content](const httplib::Request&, httplib::Response& response) {
    response.set_content(content, "application/octet-stream");
  });
  server.Start();
  for (int round = 0; round < 2; ++round) {
    Request request = Get(server.Url("/big"));
    request.timeouts = Timeouts::All(3000);
    Collect sink;
    EXPECT_EQ(RunOnce(std::move(request), sink), TransferEnd::kComplete);
    EXPECT_TRUE(sink.body == content) << sink.body.size();
  }
}

TEST(TransferBody, AnUploadTheServerStopsReadingIsNotSent) {
  // Larger than what the loopback socket buffers can take in.
  Bytes big(48 * 1024 * 1024, 'u');
  RawServer closes([](int s, const std::string&) { shutdown(s, SHUT_RDWR); });
  Request post = Get(Base(closes.port()) + "/up");
  post.method = "POST";
  post.body = big;
  Collect closed;
  EXPECT_EQ(RunOnce(post, closed), TransferEnd::kNotSent);

  RawServer stops([](int s, const std::string&) {
    std::this_thread::sleep_for(3s);  // reads nothing more, then goes
    (void)s;
  });
  post.url = SplitUrl(Base(stops.port()) + "/up").value();
  post.timeouts = Timeouts::All(500);
  Collect stalled;
  Transfer transfer(std::move(post));
  EXPECT_EQ(transfer.Run(stalled), TransferEnd::kNotSent);
  // The send limit ended it, not the server going away after its 3 s.
  EXPECT_EQ(transfer.detail(), "send timed out");
}

TEST(TransferBody, CapEndsTheTransferWithOrWithoutLength) {
  RawServer server([](int s, const std::string& head) {
    std::string body(5000, 'b');
    if (head.starts_with("GET /length")) {
      Answer(s, "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + body);
    } else {
      Answer(s, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body);
    }
  });
  for (const char* path : {"/length", "/close"}) {
    Request request = Get(Base(server.port()) + path);
    request.maxBodyBytes = 4096;
    Collect sink;
    EXPECT_EQ(RunOnce(request, sink), TransferEnd::kTooLarge) << path;
    EXPECT_EQ(sink.responses, 1);
    EXPECT_LE(sink.body.size(), 4096u);
  }
  Request exact = Get(Base(server.port()) + "/length");
  exact.maxBodyBytes = 5000;
  Collect sink;
  EXPECT_EQ(RunOnce(exact, sink), TransferEnd::kComplete);
  EXPECT_EQ(sink.body.size(), 5000u);
}

TEST(TransferWake, EndsAWaitAtOnceFromAnotherThreadOrThePollHook) {
  RawServer silent([](int s, const std::string&) {
    RawServer::WaitForClose(s, std::atomic<bool>{false}, 10000);
  });
  Transfer transfer(Get(Base(silent.port()) + "/"));
  std::thread waker([&transfer] {
    std::this_thread::sleep_for(200ms);
    transfer.Wake();
  });
  Collect sink;
  auto start = Clock::now();
  EXPECT_EQ(transfer.Run(sink), TransferEnd::kWoken);
  EXPECT_LT(Clock::now() - start, 5s);  // only catches a hang
  waker.join();

  Request polled = Get(Base(silent.port()) + "/");
  int calls = 0;
  polled.pollIntervalMs = 10;
  polled.poll = [&calls] { return ++calls == 5; };
  EXPECT_EQ(RunOnce(polled, sink), TransferEnd::kWoken);
  EXPECT_EQ(calls, 5);

  // A wake that came first ends the transfer before it starts.
  Transfer early(Get(Base(silent.port()) + "/"));
  early.Wake();
  EXPECT_EQ(early.Run(sink), TransferEnd::kWoken);
}

TEST(TransferConnect, RefusedAndUnnamedHostsCannotConnect) {
  Collect sink;
  EXPECT_EQ(RunOnce(Get(Base(tw::testing::RefusedPort()) + "/"), sink),
            TransferEnd::kCouldNotConnect);
  EXPECT_EQ(RunOnce(Get("http://no-such-host.invalid/"), sink), TransferEnd::kCouldNotConnect);
}

}  // namespace
}  // namespace tw::net
