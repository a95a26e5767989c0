// Values and paths from a caller are data: whatever bytes they hold, none of
// them runs as script, and values read back as they went in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/json_object.h"
#include "text/convert.h"

namespace tw {
namespace {

// A value read back is the value as the GBK conversions render it: 0x80 is
// the euro sign both ways, a byte GBK does not know comes back as "?".
Text AsStored(const Text& value) { return Utf8ToGbk(GbkToUtf8(value)); }

// Each ends, inside a two-byte reading of 0x80 or 0xFF, with a statement that
// would mark the document if it ran.
const std::vector<Text> kHostileValues = {
    "\x80\n",
    "\xFF\n",
    "\x80\"",
    "\xFF\"",
    "\x80'",
    "\x80\\",
    "\x80\"; da.ran = 1; \"",
    "\xFF'; da.ran = 1; '",
    "\x80\r\n'); da.ran = 1; ('",
    "'); da.ran = 1; ('",
    "\\'); da.ran = 1; //",
    "\xE2\x80\xA8'; da.ran = 1; '",
    "\x81",
    std::string("a\0b", 3),
};

TEST(JsonValues, SetValueStoresEveryByteSequenceAsAString) {
  JsonObject json;
  ASSERT_TRUE(json.Parse(R"({"keep":1})"));
  for (const Text& value : kHostileValues) {
    SCOPED_TRACE(testing::PrintToString(value));
    EXPECT_TRUE(json.SetValue("k", value));
    EXPECT_EQ(json.GetType("k"), JsonObject::kString);
    EXPECT_EQ(json.GetValue("k"), AsStored(value));
    EXPECT_TRUE(json.SetValue("nested.deeper", value) || !json.Exists("nested"));
    EXPECT_EQ(json.GetType("ran"), JsonObject::kMissing);
  }
  EXPECT_EQ(json.GetValue("keep"), "1");
}

TEST(JsonValues, PlainArrayValuesAreStoredAsTheTextGiven) {
  JsonObject json;
  ASSERT_TRUE(json.Parse(R"({"a":[]})"));
  for (const Text& value : kHostileValues) {
    SCOPED_TRACE(testing::PrintToString(value));
    ASSERT_TRUE(json.ArrayPush(value, "a") || value.empty());
    const int32_t last = json.GetArrayCount("a") - 1;
    EXPECT_EQ(json.GetArrayValue(last, "a"), AsStored(value));
    EXPECT_TRUE(json.SetArrayValue(0, "a", value));
    EXPECT_EQ(json.GetArrayValue(0, "a"), AsStored(value));
    EXPECT_EQ(json.GetType("ran"), JsonObject::kMissing);
  }
  EXPECT_EQ(json.GetArrayCount("a"), static_cast<int32_t>(kHostileValues.size()));
  // A backslash stays a backslash here, and serialises as an escaped pair.
  ASSERT_TRUE(json.SetArrayValue(0, "a", R"(C:\dir)"));
  EXPECT_EQ(json.GetArrayValue(0, "a", true), R"("C:\\dir")");
  // The raw flag still takes script source.
  ASSERT_TRUE(json.ArrayPush(R"({"k":[true]})", "b", /*raw=*/true));
  EXPECT_EQ(json.GetJsonText("b"), R"([{"k":[true]}])");
}

TEST(JsonPathsAsData, OnlyMemberExpressionsAreAccepted) {
  JsonObject json;
  ASSERT_TRUE(
      json.Parse(Utf8ToGbk(R"({"a":{"b":[{"c":"deep"}]},"k y":"v","it's":"q","中":"zh"})")));
  EXPECT_EQ(json.GetValue("a.b[0].c"), "deep");
  EXPECT_EQ(json.GetValue(R"(["k y"])"), "v");
  EXPECT_EQ(json.GetValue(R"(['it\'s'])"), "q");
  EXPECT_EQ(json.GetValue(R"(a["b"][0]['c'])"), "deep");
  EXPECT_EQ(json.GetValue(Utf8ToGbk("中")), Utf8ToGbk("zh"));
  EXPECT_EQ(json.GetValue("da.a.b[0].c"), "deep");

  const std::vector<Text> hostile = {
    "a; da.ran = 1",
    "a.b[0].c = 1",
    "a.toString()",
    "a.b[0]['c'] + (da.ran = 1)",
    "[(da.ran = 1)]",
    "a\n(da.ran = 1)",
    "a\xE2\x80\xA8(da.ran = 1)",
    "a['x'] ; da.ran = 1 //",
    "a.\x81']; da.ran = 1; //",
#if !defined(_WIN32)
    // A lone lead byte before a quote: iconv makes it "?" and keeps the quote,
    // so the rest would be script. Windows' conversion makes the two bytes one
    // character, which leaves a harmless quoted key (checked below).
    "a[\"\x81\"]; da.ran = 1; //\"]",
#endif
    "a[0",
    "a..b",
    ".a",
  };
  for (const Text& path : hostile) {
    SCOPED_TRACE(testing::PrintToString(path));
    Text resolved = path;
    EXPECT_FALSE(json.ResolvePath(resolved));
    EXPECT_EQ(resolved, path);
    EXPECT_EQ(json.GetValue(path), "");
    EXPECT_EQ(json.GetType(path), JsonObject::kMissing);
    EXPECT_FALSE(json.SetValue(path, "x"));
    EXPECT_FALSE(json.SetNumber(path, 1));
    EXPECT_FALSE(json.ArrayPush("x", path));
    EXPECT_FALSE(json.Delete(path));
    EXPECT_EQ(json.GetObject(path).ToText(), "{}");
    EXPECT_EQ(json.GetType("ran"), JsonObject::kMissing);
  }
  EXPECT_EQ(json.GetJsonText("a"), R"({"b":[{"c":"deep"}]})");
#if defined(_WIN32)
  json.SetValue("a[\"\x81\"]; da.ran = 1; //\"]", "x");
  EXPECT_EQ(json.GetType("ran"), JsonObject::kMissing);
#endif
  // What looks like script inside a quoted key is only the key's name.
  ASSERT_TRUE(json.SetValue(R"(['x\']; da.ran = 1; //'])", "odd"));
  EXPECT_EQ(json.GetValue(R"(["x']; da.ran = 1; //"])"), "odd");
  EXPECT_EQ(json.GetType("ran"), JsonObject::kMissing);
}

}  // namespace
}  // namespace tw
