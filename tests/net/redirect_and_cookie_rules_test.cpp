// Which redirects are followed and how the next request looks; which cookies
// of a redirect response go out on the next hop.
#include <gtest/gtest.h>

#include "net/hop_cookies.h"
#include "net/redirect_rules.h"

namespace tw::net {
namespace {

UrlParts Url(const char* text) { return SplitUrl(text).value(); }

TEST(NextHop, MethodAndBodyByStatus) {
  UrlParts from = Url("http://h/form");
  struct Case {
    int status;
    const char* method;
    const char* nextMethod;
    bool keepBody;
  } cases[] = {
      {301, "POST", "GET", false}, {302, "POST", "GET", false}, {303, "POST", "GET", false},
      {307, "POST", "POST", true}, {308, "POST", "POST", true}, {302, "PUT", "PUT", true},
      {303, "PUT", "GET", false},  {303, "HEAD", "HEAD", true}, {301, "GET", "GET", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.status) + " " + c.method);
    std::optional<Hop> hop = NextHop(from, c.method, c.status, "/next");
    ASSERT_TRUE(hop.has_value());
    EXPECT_EQ(hop->method, c.nextMethod);
    EXPECT_EQ(hop->keepBody, c.keepBody);
    EXPECT_EQ(hop->url.Whole(), "http://h/next");
  }
}

TEST(NextHop, FinalResponses) {
  UrlParts secure = Url("https://h/x");
  EXPECT_FALSE(NextHop(secure, "GET", 302, "http://h/x"));  // never down to plain http
  EXPECT_TRUE(NextHop(Url("http://h/x"), "GET", 302, "https://h/x"));
  EXPECT_TRUE(NextHop(secure, "GET", 302, "//other/y"));  // stays https
  for (int status : {200, 300, 304, 305, 404}) {
    EXPECT_FALSE(NextHop(secure, "GET", status, "/y")) << status;
  }
  EXPECT_FALSE(NextHop(secure, "GET", 302, std::nullopt));
  EXPECT_FALSE(NextHop(secure, "GET", 302, ""));
  EXPECT_FALSE(NextHop(secure, "GET", 302, "ftp://h/y"));
}

TEST(HopCookies, MergedIntoOneCookieLineForTheHostThatSetThem) {
  HopCookies cookies;
  UrlParts a = Url("http://a.example/login");
  cookies.Collect(
      a,
      "HTTP/1.1 302 Found\r\nSet-Cookie: sid=9; Path=/\r\nset-cookie: x=new\r\n"
      "Set-Cookie: wide=1; Domain=.example\r\nSet-Cookie: foreign=1; Domain=other.org\r\n"
      "Location: /next\r\n\r\n");
  std::vector<std::string> lines = {"Accept: */*", "Cookie: x=0; keep=1"};
  EXPECT_EQ(cookies.Apply(lines, Url("http://a.example/next")),
            (std::vector<std::string>{"Accept: */*", "Cookie: x=new; keep=1; sid=9; wide=1"}));
  // Another host gets the caller's cookies and the domain-wide one only.
  EXPECT_EQ(cookies.Apply(lines, Url("http://b.example/")),
            (std::vector<std::string>{"Accept: */*", "Cookie: x=0; keep=1; wide=1"}));
  EXPECT_EQ(cookies.Apply({"Accept: */*"}, Url("http://other.org/")),
            (std::vector<std::string>{"Accept: */*"}));
  // Without a Cookie line of the caller's, one is added.
  EXPECT_EQ(cookies.Apply({}, Url("http://a.example/")),
            (std::vector<std::string>{"Cookie: sid=9; x=new; wide=1"}));
  // Two Cookie lines of the caller's become one.
  EXPECT_EQ(cookies.Apply({"Cookie: p=1", "Cookie: q=2"}, Url("http://c.example/")),
            (std::vector<std::string>{"Cookie: p=1; q=2; wide=1"}));

  // A later response can delete a cookie again.
  cookies.Collect(a, "HTTP/1.1 302 Found\r\nSet-Cookie: sid=; Max-Age=0\r\n\r\n");
  EXPECT_EQ(cookies.Apply({}, Url("http://a.example/")),
            (std::vector<std::string>{"Cookie: x=new; wide=1"}));
}

}  // namespace
}  // namespace tw::net
