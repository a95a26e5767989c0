#include <gtest/gtest.h>

#include "text/system_texts.h"
#include "web/cookies.h"
#include "web/request_headers.h"
#include "web/text_search.h"

namespace tw {
namespace {

constexpr char kUserAgentLine[] =
    "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)";
constexpr char kAcceptLine[] = "Accept: text/html, application/xhtml+xml, */*";
constexpr char kFormLine[] = "Content-Type: application/x-www-form-urlencoded";

Text Lines(std::initializer_list<std::string_view> lines) {
  Text block;
  for (std::string_view line : lines) {
    if (!block.empty()) block += "\r\n";
    block += line;
  }
  return block;
}

TEST(TextSearch, MarkersAndTheirAbsence) {
  EXPECT_EQ(TextBefore("a: b: c", ": "), "a");
  EXPECT_EQ(TextBefore("abc", "x"), "");
  EXPECT_EQ(TextAfterLast("a: b: c", ": "), "c");
  EXPECT_EQ(TextAfterLast("abc", "x"), "");

  // First left marker; the right one is searched only after it.
  EXPECT_EQ(TextBetween("[1] [2]", "[", "]"), "1");
  EXPECT_EQ(TextBetween("x]y[z", "[", "]"), "");
  EXPECT_EQ(TextBetween("no markers", "[", "]"), "");
  EXPECT_EQ(TextBetween("[]", "[", "]"), "");
  // The quote marker stands for a double quote in both markers.
  Text quote = Texts().quoteMarker;
  EXPECT_EQ(TextBetween(R"(id="42" x)", "id=" + quote, quote), "42");
}

TEST(TextSearch, NeverMatchesInsideATwoByteCharacter) {
  // 0xB0 0xA1 is one character; its second byte must not be taken for the marker 0xA1.
  Text text =
      "\xB0\xA1"
      "a\xA1"
      "b";
  EXPECT_EQ(TextBefore(text, "\xA1"),
            "\xB0\xA1"
            "a");
  EXPECT_EQ(TextBetween(text, "\xA1", "b"), "");
}

TEST(BuildRequestHeaders, DefaultsInTheirOrder) {
  EXPECT_EQ(BuildRequestHeaders("", "", 0, true, false),
            Text(kUserAgentLine) + "\r\n" + kAcceptLine +
                "\r\nAccept-Encoding: gbk, GB2312\r\nAccept-Language: zh-cn\r\n"
                "Cache-Control: no-cache\r\n");
  // Normalising joins the lines without a CRLF after the last.
  EXPECT_EQ(BuildRequestHeaders("", "", 0, true, true),
            Lines({kUserAgentLine, kAcceptLine, "Accept-Encoding: gbk, GB2312",
                   "Accept-Language: zh-cn", "Cache-Control: no-cache"}));
}

TEST(BuildRequestHeaders, CallerLinesSuppressDefaultsIgnoringCase) {
  Text block = BuildRequestHeaders("Accept: */*", "", 0, true, true);
  EXPECT_EQ(block, Lines({"Accept: */*", kUserAgentLine, "Accept-Encoding: gbk, GB2312",
                          "Accept-Language: zh-cn", "Cache-Control: no-cache"}));

  block = BuildRequestHeaders("user-agent: x", "", 0, true, true);
  EXPECT_TRUE(block.starts_with("User-Agent: x\r\nAccept: ")) << block;
  EXPECT_EQ(block.find("Mozilla"), Text::npos);

  // The searched texts carry a blank after the colon, so "Accept:x" does not count.
  block = BuildRequestHeaders("Accept:x", "", 0, true, false);
  EXPECT_NE(block.find(kAcceptLine), Text::npos);
}

TEST(BuildRequestHeaders, FormContentTypeOnlyForPost) {
  EXPECT_EQ(BuildRequestHeaders("", "", 0, true, true).find("Content-Type"), Text::npos);
  EXPECT_EQ(BuildRequestHeaders("", "", 3, true, true).find("Content-Type"), Text::npos);
  Text post = BuildRequestHeaders("", "", 1, true, true);
  EXPECT_EQ(post, Lines({kUserAgentLine, kAcceptLine, "Accept-Encoding: gbk, GB2312",
                         "Accept-Language: zh-cn", kFormLine, "Cache-Control: no-cache"}));
  // Its searched text has no blank: a caller's "Content-Type:x" already suppresses it.
  post = BuildRequestHeaders("content-type:text/plain", "", 1, true, true);
  EXPECT_EQ(post.find("x-www-form-urlencoded"), Text::npos);
  EXPECT_TRUE(post.starts_with("Content-Type:text/plain\r\n"));
}

TEST(BuildRequestHeaders, RawCallerTextWithoutDefaultsOrNormalising) {
  EXPECT_EQ(BuildRequestHeaders("x-a: 1\r\nx-b: 2", "", 1, false, false), "x-a: 1\r\nx-b: 2\r\n");
  EXPECT_EQ(BuildRequestHeaders("", "", 0, false, false), "");
  EXPECT_EQ(BuildRequestHeaders("x-a: 1", "a=1", 0, false, false), "x-a: 1\r\n\r\nCookie: a=1\r\n");
}

TEST(BuildRequestHeaders, CookieLineRules) {
  EXPECT_EQ(BuildRequestHeaders("", "a=1", 0, false, false), "\r\nCookie: a=1\r\n");
  // Cookies that already carry the name are appended as they are.
  EXPECT_EQ(BuildRequestHeaders("", "Cookie: a=1", 0, false, false), "\r\nCookie: a=1\r\n");
  EXPECT_EQ(BuildRequestHeaders("", "cookie: a=1", 0, false, false), "\r\ncookie: a=1\r\n");
  // A Cookie line of the caller's own wins.
  EXPECT_EQ(BuildRequestHeaders("COOKIE: b=2", "a=1", 0, false, true), "COOKIE: b=2");
  EXPECT_EQ(BuildRequestHeaders("X: y", "a=1", 0, false, true), "X: y\r\nCookie: a=1\r\n");
}

TEST(BuildRequestHeaders, KeepAliveLinesRemoved) {
  EXPECT_EQ(BuildRequestHeaders("Connection: keep-alive\r\nX: 1", "", 0, false, false), "X: 1\r\n");
  // After normalising, a keep-alive line that comes last has no CRLF and stays.
  EXPECT_EQ(BuildRequestHeaders("X: 1\r\nConnection: keep-alive", "", 0, false, true),
            "X: 1\r\nConnection: keep-alive");
  // Other values, and other spellings of the value, stay.
  EXPECT_EQ(BuildRequestHeaders("Connection: close", "", 0, false, false), "Connection: close\r\n");
  EXPECT_EQ(BuildRequestHeaders("Connection: Keep-Alive", "", 0, false, false),
            "Connection: Keep-Alive\r\n");
}

TEST(NormalizeHeaderNames, CapitalisesEachWordOfTheName) {
  EXPECT_EQ(NormalizeHeaderNames("user-agent:x\r\naccept-LANGUAGE: zh"),
            "User-Agent:x\r\nAccept-LANGUAGE: zh");
  // Only the name changes; lines without a colon go; a trailing dash is lost.
  EXPECT_EQ(NormalizeHeaderNames("x-a: b-c\r\nno colon\r\n\r\nhost: h:80\r\nx-: 1\r\n"),
            "X-A: b-c\r\nHost: h:80\r\nX: 1");
  EXPECT_EQ(NormalizeHeaderNames("1abc: v\r\n\xB0\xA1x: v"), "1abc: v\r\n\xB0\xA1x: v");
  EXPECT_EQ(NormalizeHeaderNames(""), "");
}

TEST(HeaderValue, FirstLineStartingWithTheNameExactly) {
  Text block = "X-A: 1\r\nConnection: close\r\nConnection: keep-alive";
  EXPECT_EQ(HeaderValue(block, "Connection"), "close");
  EXPECT_EQ(HeaderValue(block, "connection"), "");
  EXPECT_EQ(HeaderValue(block, "X-B"), "");
}

TEST(CollectSetCookies, TakesNameAndValueWithoutAttributes) {
  Text cookies;
  CollectSetCookies("Set-Cookie: sid=9; path=/", cookies);
  CollectSetCookies("Set-Cookie: lang=zh", cookies);
  EXPECT_EQ(cookies, "sid=9; lang=zh; ");
  TidyNewCookies(cookies);
  EXPECT_EQ(cookies, "sid=9; lang=zh");
  TidyNewCookies(cookies);
  EXPECT_EQ(cookies, "sid=9; lang=zh");

  // The name must be spelled exactly; other lines change nothing.
  Text untouched = "a=1; ";
  CollectSetCookies("set-cookie: x=1", untouched);
  CollectSetCookies("Content-Type: text/html; charset=gbk", untouched);
  CollectSetCookies("Set-Cookie:x=1", untouched);
  EXPECT_EQ(untouched, "a=1; ");

  Text empty;
  CollectSetCookies("Set-Cookie: gone=; expires=Thu, 01 Jan 1970 00:00:00 GMT", empty);
  EXPECT_EQ(empty, "gone=; ");
}

TEST(MergeCookies, NewCookiesFirstThenTheOldOnesNotReplaced) {
  Text cookies = "sid=1; uid=7";
  Text fresh = "sid=9; uid=deleted";
  EXPECT_EQ(MergeCookies(cookies, fresh), "sid=9");
  EXPECT_EQ(cookies, "sid=9");

  cookies = "a=1;";
  fresh = "b=2";
  EXPECT_EQ(MergeCookies(cookies, fresh), "b=2; a=1");

  cookies = "  a=1; b=2; a=3 ";
  fresh = "c=3";
  EXPECT_EQ(MergeCookies(cookies, fresh), "c=3; a=1; b=2");

  // Names compare after trimming, values keep their text.
  cookies = "x =1; y=2";
  fresh = "x=5";
  EXPECT_EQ(MergeCookies(cookies, fresh), "x=5; y=2");

  cookies = "a=deleted";
  fresh = "";
  EXPECT_EQ(MergeCookies(cookies, fresh), "");
}

TEST(CookieItems, NamesAndDuplicates) {
  EXPECT_EQ(CookieName(" sid =9=x"), "sid");
  EXPECT_EQ(CookieName("flag"), "flag");
  EXPECT_EQ(RemoveDuplicateItems("a; b; a; c; b", "; "), "a; b; c");
  EXPECT_EQ(RemoveDuplicateItems("a; a; ", "; "), "a");
  EXPECT_EQ(RemoveDuplicateItems("", "; "), "");
}

}  // namespace
}  // namespace tw
