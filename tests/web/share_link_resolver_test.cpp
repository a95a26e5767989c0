#include "web/share_link_resolver.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <limits>
#include <mutex>

#include "net/trust.h"
#include "standin/content.h"
#include "tests/support/http_server.h"
#include "tests/support/refused_port.h"
#include "tests/support/standin.h"
#include "tests/support/test_certificate.h"
#include "web/http_fetch.h"
#include "web/share_host.h"

namespace tw {
namespace {

using testing::Standin;

constexpr char kCode[] = "abcdEFGH1234";

class ShareLinkResolverTest : public ::testing::Test {
 protected:
  void Start(const std::vector<std::string>& arguments) {
    standin_ = std::make_unique<Standin>(arguments);
    ASSERT_GT(standin_->port(), 0);
    host_ = "127.0.0.1:" + std::to_string(standin_->port());
    setenv(kShareHostVariable, host_.c_str(), 1);
    setenv(net::kCaFileVariable, standin_->CaFile().c_str(), 1);
  }
  void TearDown() override {
    unsetenv(kShareHostVariable);
    unsetenv(net::kCaFileVariable);
  }

  Text ShareLink() const { return "https://" + host_ + "/t/" + kCode; }

  std::unique_ptr<Standin> standin_;
  std::string host_;
};

TEST_F(ShareLinkResolverTest, DirectUrlAndASizeAbove32Bits) {
  Start({"--big-size"});
  int64_t size = 0;
  Text direct = ShareLinkResolver(ShareLink(), &size);
  EXPECT_TRUE(direct.starts_with("http://" + host_ + "/files/")) << direct;
  EXPECT_TRUE(direct.ends_with(".iso")) << direct;
  EXPECT_EQ(size, 5'368'709'243);
  // Without a size variable the link still resolves.
  EXPECT_EQ(ShareLinkResolver(ShareLink()), direct);
  // The share page over plain HTTP leads to the same place.
  EXPECT_EQ(ShareLinkResolver("http://" + host_ + "/t/" + kCode), direct);
}

TEST_F(ShareLinkResolverTest, PageWithoutMarkerGivesNothing) {
  Start({"--no-marker"});
  int64_t size = -1;
  EXPECT_EQ(ShareLinkResolver(ShareLink(), &size), "");
  EXPECT_EQ(size, 0);
}

TEST_F(ShareLinkResolverTest, VerifyAnswerThatIsNotJsonGivesNothing) {
  Start({"--bad-json"});
  int64_t size = -1;
  EXPECT_EQ(ShareLinkResolver(ShareLink(), &size), "");
  EXPECT_EQ(size, 0);
}

TEST_F(ShareLinkResolverTest, UnreachableServiceGivesNothing) {
  host_ = "127.0.0.1:" + std::to_string(testing::RefusedPort());
  setenv(kShareHostVariable, host_.c_str(), 1);
  int64_t size = -1;
  EXPECT_EQ(ShareLinkResolver(ShareLink(), &size), "");
  EXPECT_EQ(size, 0);
}

// The stand-in's own file answers, read through the same fetch routine.
TEST_F(ShareLinkResolverTest, StandinServesItsFilesAndFaults) {
  Start({"--size", "100000", "--tls-links"});
  Text direct = ShareLinkResolver(ShareLink());
  ASSERT_TRUE(direct.starts_with("https://")) << direct;
  Bytes bytes;
  HttpFetchOptions options;
  options.responseBytes = &bytes;
  HttpFetch(direct, options);
  ASSERT_EQ(bytes.size(), 100000u);
  for (std::size_t i = 0; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], StandinByte(i)) << i;

  Start({"--size", "100000", "--drop-after", "5000"});
  Text status, headers;
  options.statusText = &status;
  options.responseHeaders = &headers;
  HttpFetch("http://" + host_ + "/files/x.iso", options);
  EXPECT_EQ(bytes.size(), 5000u);
  EXPECT_EQ(status, "200 OK");
  EXPECT_NE(headers.find("Content-Length: 100000"), Text::npos);

  Start({"--size", "70000", "--no-length", "--throttle", "1000000"});
  HttpFetch("https://" + host_ + "/files/x.iso", options);
  EXPECT_EQ(bytes.size(), 70000u);
  EXPECT_EQ(headers.find("Content-Length"), Text::npos);
  EXPECT_EQ(bytes[69999], StandinByte(69999));

  Start({"--not-found"});
  HttpFetch("http://" + host_ + "/files/x.iso", options);
  EXPECT_EQ(status, "404 Not Found");
  EXPECT_EQ(standin_->Stop(), 0);
}

TEST(ShareLinkResolver, ControlByteInTheShareIdIsEscapedAndSent) {
  testing::TrustTestCertificate();
  testing::LocalHttpServer service(true);
  std::mutex mutex;
  std::vector<std::string> targets;
  service.server().Get(".*", [&](const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex);
    targets.push_back(request.target);
    response.set_content("<input id=\"shareId\" value=\"\x7F\">", "text/html");
  });
  service.Start();
  std::string host = "127.0.0.1:" + std::to_string(service.port());
  setenv(kShareHostVariable, host.c_str(), 1);
  ShareLinkResolver("https://" + host + "/t/code");
  unsetenv(kShareHostVariable);
  std::lock_guard lock(mutex);
  ASSERT_GE(targets.size(), 2u);
  EXPECT_EQ(targets[1],
            "/shareFileVerifyPass.action?fileVO.id=%7F&accessCode=&noCache=0.39174652216024697");
}

TEST(ParseFileSize, DigitsAfterSpaceAndSign) {
  EXPECT_EQ(ParseFileSize("5368709243"), 5'368'709'243);
  EXPECT_EQ(ParseFileSize(" \t\n-45kb"), -45);
  EXPECT_EQ(ParseFileSize("+7"), 7);
  EXPECT_EQ(ParseFileSize("\xA3\xAB\xA3\xB1\xA3\xB2\xA3\xB3"), 123);  // full-width +123
  EXPECT_EQ(ParseFileSize("\xA1\xA1\xA3\xB4\xA3\xB2"), 42);           // full-width blank
  EXPECT_EQ(ParseFileSize(""), 0);
  EXPECT_EQ(ParseFileSize("size 12"), 0);
  EXPECT_EQ(ParseFileSize("- 1"), 0);
  EXPECT_EQ(ParseFileSize("99999999999999999999"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(ParseFileSize("-9223372036854775808"), std::numeric_limits<int64_t>::min());
}

TEST(VerifyUrl, HttpsOnTheShareHost) {
  setenv(kShareHostVariable, "127.0.0.1:8123", 1);
  EXPECT_EQ(VerifyUrl("123"),
            "https://127.0.0.1:8123/shareFileVerifyPass.action?fileVO.id=123&accessCode=&noCache="
            "0.39174652216024697");
  unsetenv(kShareHostVariable);
}

}  // namespace
}  // namespace tw
