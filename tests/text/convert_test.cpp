#include "text/convert.h"

#include <gtest/gtest.h>

#include <thread>

#include "text/message_pump.h"
#include "text/system_texts.h"

namespace tw {
namespace {

TEST(Convert, GbkRoundTripsThroughUtf16AndUtf8) {
  const Text gbk = "\xCF\xC2\xD4\xD8\xCD\xEA\xB3\xC9";  // 下载完成
  EXPECT_EQ(GbkToUtf8(gbk), "下载完成");
  EXPECT_EQ(Utf8ToGbk("下载完成"), gbk);
  EXPECT_EQ(GbkToUtf16(gbk), u"下载完成");
  EXPECT_EQ(Utf16ToGbk(u"下载完成"), gbk);
  EXPECT_EQ(Utf16ToGbk(u""), "");
}

TEST(Convert, UnrepresentableAndInvalidBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80"
                      "b"),
            "a??b");  // emoji: a surrogate pair
  EXPECT_EQ(Utf8ToGbk("a\xFF"
                      "b"),
            "a?b");                     // not UTF-8
  EXPECT_EQ(GbkToUtf8("a\x81"), "a?");  // lead byte at the end
}

TEST(Convert, DecodeToGbkKnowsCharsetsByName) {
  EXPECT_EQ(DecodeToGbk("\xE4\xB8\xAD", "utf-8"), std::optional<Text>("\xD6\xD0"));
  EXPECT_EQ(DecodeToGbk("\xA4\xA4", "big5"), std::optional<Text>("\xD6\xD0"));
  EXPECT_EQ(DecodeToGbk("abc", "no-such-charset"), std::nullopt);
}

TEST(Convert, GbkFamilyNamesDecodeAsCodePage936InAnyCase) {
  // 丂 (81 40) is in GBK but not in GB 2312: read as GB 2312 proper it became
  // "?" followed by a stray "@".
  const Text gbkOnly = "a\x81\x40\xD6\xD0";
  for (const char* name :
       {"gb2312", "GB2312", "Gb2312", "GBK", "gbk", "x-gbk", "EUC-CN", "CP936"}) {
    EXPECT_EQ(DecodeToGbk(gbkOnly, name), std::optional<Text>(gbkOnly)) << name;
  }
  EXPECT_EQ(DecodeToGbk("\xE4\xB8\xAD", "UTF-8"), std::optional<Text>("\xD6\xD0"));
}

TEST(Texts, AreGbk) {
  EXPECT_EQ(Texts().downloadDone, "\xCF\xC2\xD4\xD8\xCD\xEA\xB3\xC9");
  EXPECT_EQ(GbkToUtf8(Texts().confirmOrCancel), "确认&&取消");
  EXPECT_EQ(GbkToUtf8(Texts().securityFlagsFailed), "忽略错误/证书错误  失败！");
}

int gPumped = 0;
void CountPump() { ++gPumped; }

TEST(MessagePump, RunsOnlyOnTheUiThread) {
  gPumped = 0;
  ProcessPendingMessages();
  EXPECT_EQ(gPumped, 0);
  InstallMessagePump(&CountPump);
  ProcessPendingMessages();
  std::thread([] { ProcessPendingMessages(); }).join();
  EXPECT_EQ(gPumped, 1);
  RemoveMessagePump();
  ProcessPendingMessages();
  EXPECT_EQ(gPumped, 1);
}

}  // namespace
}  // namespace tw
