#include "web/response_decoding.h"

#include <gtest/gtest.h>

#include "script/regex_object.h"

namespace tw {
namespace {

constexpr char kZhongWenUtf8[] = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
constexpr char kZhongWenGbk[] = "\xD6\xD0\xCE\xC4";

Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

Text Page(std::string_view meta, std::string_view body) {
  return "<html><head>" + Text(meta) + "</head><body>" + Text(body) + "</body></html>";
}

class DecodeResponseTextTest : public ::testing::Test {
 protected:
  Text Decode(std::string_view body) { return DecodeResponseText(ToBytes(body), regex_); }
  RegexObject regex_;
};

TEST_F(DecodeResponseTextTest, DeclaredCharsetIsDecodedToGbk) {
  EXPECT_EQ(
      Decode(Page(R"(<meta http-equiv="Content-Type" content="text/html; charset=utf-8">)",
                  kZhongWenUtf8)),
      Page(R"(<meta http-equiv="Content-Type" content="text/html; charset=utf-8">)", kZhongWenGbk));
  // Quoted name, tag in capitals.
  EXPECT_EQ(Decode(Page(R"(<META CHARSET="UTF-8">)", kZhongWenUtf8)),
            Page(R"(<META CHARSET="UTF-8">)", kZhongWenGbk));
  // A character GBK cannot hold becomes "?".
  EXPECT_EQ(Decode(Page("<meta charset=utf-8>", "\xED\x95\x9C")),
            Page("<meta charset=utf-8>", "?"));
}

TEST_F(DecodeResponseTextTest, GbkNamesAndMissingCharsetKeepTheBytes) {
  Text gbkPage = Page("<meta charset=gbk>", kZhongWenGbk);
  EXPECT_EQ(Decode(gbkPage), gbkPage);
  Text gb2312Page = Page("<meta charset=\"gb2312\">", kZhongWenGbk);
  EXPECT_EQ(Decode(gb2312Page), gb2312Page);
  // Not valid GBK either, yet without a charset nothing is converted.
  Text plain = Page("", kZhongWenUtf8);
  EXPECT_EQ(Decode(plain), plain);
  // Other spellings of gbk go through the converter, which gives the same text back.
  Text capitals = Page("<meta charset=GBK>", kZhongWenGbk);
  EXPECT_EQ(Decode(capitals), capitals);
}

TEST_F(DecodeResponseTextTest, GbkNamesInAnyCaseKeepCharactersOutsideGb2312) {
  // 丂 (81 40) is GBK only; a stray byte must not follow it either.
  for (const char* name : {"GB2312", "Gb2312", "GBK", "gB2312", "x-gbk"}) {
    Text page = Page(Text("<meta charset=") + name + ">", "\x81\x40@");
    EXPECT_EQ(Decode(page), page) << name;
  }
}

TEST_F(DecodeResponseTextTest, ByteOrderMarksAreDroppedAndNameTheEncoding) {
  const Text utf8 = Page("<meta charset=utf-8>", kZhongWenUtf8);
  EXPECT_EQ(Decode("\xEF\xBB\xBF" + utf8), Page("<meta charset=utf-8>", kZhongWenGbk));
  // Without a meta tag the mark alone tells the encoding.
  EXPECT_EQ(Decode("\xEF\xBB\xBF" + Page("", kZhongWenUtf8)), Page("", kZhongWenGbk));
  // UTF-16 pages hold zero bytes everywhere; the mark still reads them whole.
  EXPECT_EQ(Decode(std::string("\xFF\xFE<\0p\0>\0\x2D\x4E", 10)), "<p>\xD6\xD0");
  EXPECT_EQ(Decode(std::string("\xFE\xFF\0<\0p\0>\x4E\x2D", 10)), "<p>\xD6\xD0");
}

TEST_F(DecodeResponseTextTest, UnknownCharsetKeepsTheRawText) {
  Text page = Page("<meta charset=x-no-such-charset>", kZhongWenUtf8);
  EXPECT_EQ(Decode(page), page);
}

TEST_F(DecodeResponseTextTest, OnlyTheFirst1024BytesAreSearched) {
  Text late = Text(1020, ' ') + Page("<meta charset=utf-8>", kZhongWenUtf8);
  EXPECT_EQ(Decode(late), late);
  // A tag that ends inside the first 1024 bytes still counts.
  Text early = Text(1000, ' ') + "<meta charset=utf-8>" + kZhongWenUtf8;
  EXPECT_EQ(Decode(early), Text(1000, ' ') + "<meta charset=utf-8>" + kZhongWenGbk);
}

TEST_F(DecodeResponseTextTest, ZeroByteEndsOnlyTheUndecodedText) {
  Text raw = Page("", "before") + '\0' + "after";
  EXPECT_EQ(Decode(raw), Page("", "before"));

  Text declared = Page("<meta charset=utf-8>", "before") + '\0' + kZhongWenUtf8;
  Text decoded = Decode(declared);
  EXPECT_NE(decoded.find(kZhongWenGbk), Text::npos);

  // A meta tag behind the zero byte is not seen.
  Text hidden = Text("x") + '\0' + "<meta charset=utf-8>";
  EXPECT_EQ(Decode(hidden), "x");
}

TEST(Utf16Conversion, TerminatorAndRoundTrip) {
  EXPECT_EQ(TextToUtf16("/"), (Bytes{0x2F, 0x00, 0x00, 0x00}));
  EXPECT_TRUE(TextToUtf16("").empty());
  EXPECT_EQ(TextToUtf16(kZhongWenGbk), (Bytes{0x2D, 0x4E, 0x87, 0x65, 0x00, 0x00}));

  // Appended, not prepended: GCC 12 at -O2 and above reports a false -Wrestrict
  // overlap for "literal" + std::string, which inserts at the front.
  const Text mixed = Text("a") + kZhongWenGbk;
  EXPECT_EQ(Utf16ToText(TextToUtf16(mixed)), mixed);
  EXPECT_EQ(Utf16ToText({0x41, 0x00, 0x00, 0x00, 0x42, 0x00}), "A");
  EXPECT_EQ(Utf16ToText({}), "");
  // A character outside GBK.
  EXPECT_EQ(Utf16ToText({0x5C, 0xD5}), "?");
}

}  // namespace
}  // namespace tw
