#include "script/json_object.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/convert.h"
#include "text/system_texts.h"

namespace tw {
namespace {

Text G(std::string_view utf8) { return Utf8ToGbk(utf8); }

TEST(JsonVerifyAnswer, ReadsSizeAboveThirtyTwoBitsAndTheUrl) {
  JsonObject json;
  ASSERT_TRUE(json.Parse(G(R"({"res_code":0,"res_message":"成功","fileSize":5304123392,)"
                           R"("longDownloadUrl":"https://dl.example/f?a=1&sig=x%2By"})")));
  EXPECT_EQ(json.GetValue("fileSize"), "5304123392");
  EXPECT_DOUBLE_EQ(json.GetNumber("fileSize"), 5304123392.0);
  EXPECT_EQ(json.GetValue("longDownloadUrl"), "https://dl.example/f?a=1&sig=x%2By");
  EXPECT_EQ(json.GetValue("res_message"), G("成功"));
  EXPECT_EQ(json.GetValue("missing"), "");
  EXPECT_EQ(json.GetNumber("missing"), 0);
}

TEST(JsonParse, RejectsNullAndWhatDoesNotEvaluate) {
  JsonObject json;
  EXPECT_FALSE(json.Parse(R"({"a":)"));
  EXPECT_FALSE(json.Parse(""));
  EXPECT_FALSE(json.Parse("null"));
  EXPECT_EQ(json.ToText(), "null");
  // Each parse starts from an empty document.
  ASSERT_TRUE(json.Parse(R"({"a":1})"));
  ASSERT_TRUE(json.Parse(R"({"b":2})"));
  EXPECT_EQ(json.ToText(), R"({"b":2})");
  ASSERT_TRUE(json.Parse("[1,'two']", /*literal=*/true));
  EXPECT_EQ(json.ToText(), R"([1,"two"])");
}

TEST(JsonParse, DocumentsNestedFarBeyondRealOnesStillParse) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += R"({"a":[)";
  text += "1";
  for (int i = 0; i < 200; ++i) text += "]}";
  JsonObject json;
  EXPECT_TRUE(json.Parse(text));
  EXPECT_TRUE(json.Parse(text, /*literal=*/true));
}

TEST(JsonBackslash, RoundTripsThroughTheMarker) {
  JsonObject json;
  const Text value = G(R"(C:\文件\a'b"c)") + "\r\n" + "\\\\";
  ASSERT_TRUE(json.SetValue("path", value));
  EXPECT_EQ(json.GetValue("path"), value);

  ASSERT_TRUE(json.SetValue("dir", R"(C:\dir)"));
  EXPECT_EQ(json.GetJsonText("dir"), R"("C:\dir")");  // a single, unescaped backslash

  // A GBK character whose trail byte is a backslash stays one character.
  const Text trail =
      "\x81\x5C"
      "x";
  ASSERT_TRUE(json.SetValue("trail", trail));
  EXPECT_EQ(json.GetValue("trail"), trail);
}

TEST(JsonBackslash, ParsedBackslashesStayEscapedPairs) {
  JsonObject json;
  ASSERT_TRUE(json.Parse(R"({"q":"a\\b"})"));
  EXPECT_EQ(json.GetValue("q"), R"(a\b)");
  EXPECT_EQ(json.ToText(), R"({"q":"a\\b"})");
}

TEST(JsonSetValue, JsonFlagMergesIntoObjectsAndReplacesEverythingElse) {
  JsonObject json;
  ASSERT_TRUE(json.Parse(R"({"o":{"s":"x","b":true,"n":{"k":1},"num":2,"list":[1],"nul":null},)"
                         R"("str":"v","arr":[1]})"));
  ASSERT_TRUE(json.SetValue(
      "o", R"({"s":"y","b":false,"n":{"j":2},"num":5,"list":[2],"nul":{"z":0},"new":3})", true));
  EXPECT_EQ(json.GetJsonText("o"),
            R"({"s":"y","b":false,"n":{"k":1,"j":2},"num":5,"list":[1,2],"nul":{"z":0},"new":3})");

  ASSERT_TRUE(json.SetValue("str", R"({"z":1})", true));
  EXPECT_EQ(json.GetJsonText("str"), R"({"z":1})");
  ASSERT_TRUE(json.SetValue("arr", "[2,3]", true));
  EXPECT_EQ(json.GetJsonText("arr"), "[2,3]");
  ASSERT_TRUE(json.SetValue("fresh", "", true));
  EXPECT_EQ(json.GetJsonText("fresh"), "{}");
  ASSERT_TRUE(json.SetJson("viaSetJson", "[true]"));
  EXPECT_EQ(json.GetType("viaSetJson"), JsonObject::kArray);
}

TEST(JsonArrays, PushCreatesOrReplacesTheMember) {
  JsonObject json;
  ASSERT_TRUE(json.Parse(R"({"s":"text","a":[1]})"));
  EXPECT_TRUE(json.ArrayPush("x", "missing"));
  EXPECT_EQ(json.GetJsonText("missing"), R"(["x"])");
  EXPECT_TRUE(json.ArrayPush("y", "s"));
  EXPECT_EQ(json.GetJsonText("s"), R"(["y"])");
  EXPECT_TRUE(json.ArrayPush(R"({"k":true})", "a", /*raw=*/true));
  EXPECT_EQ(json.GetJsonText("a"), R"([1,{"k":true}])");
  EXPECT_EQ(json.GetArrayCount("a"), 2);
}

TEST(JsonArrays, ElementReadsWritesAndRemoval) {
  JsonObject json;
  ASSERT_TRUE(json.Parse(R"({"a":["one",2,true,{"k":"v"}]})"));
  EXPECT_EQ(json.GetArrayValue(0, "a"), "one");
  EXPECT_EQ(json.GetArrayValue(1, "a"), "2");  // converted like GetValue
  EXPECT_EQ(json.GetArrayValue(2, "a"), "true");
  EXPECT_EQ(json.GetArrayValue(0, "a", true), R"("one")");
  EXPECT_EQ(json.GetArrayValue(9, "a"), "");
  EXPECT_EQ(json.GetArrayObject(3, "a").GetValue("k"), "v");

  EXPECT_TRUE(json.SetArrayValue(1, "a", "two"));
  EXPECT_TRUE(json.SetArrayValue(2, "a", "[3]", /*raw=*/true));
  EXPECT_TRUE(json.ArrayRemove(0, "a"));
  EXPECT_EQ(json.GetJsonText("a"), R"(["two",[3],{"k":"v"}])");
}

TEST(JsonTypes, CodesForEveryKind) {
  JsonObject json;
  ASSERT_TRUE(json.Parse(R"({"b":false,"n":0,"o":{"x":{}},"a":[],"s":"","z":null})"));
  EXPECT_EQ(json.GetType("missing"), JsonObject::kMissing);
  EXPECT_EQ(json.GetType("z"), JsonObject::kMissing);
  EXPECT_EQ(json.GetType("b"), JsonObject::kBoolean);
  EXPECT_EQ(json.GetType("n"), JsonObject::kNumber);
  EXPECT_EQ(json.GetType("o.x"), JsonObject::kObject);
  EXPECT_EQ(json.GetType("a"), JsonObject::kArray);
  EXPECT_EQ(json.GetType("s"), JsonObject::kString);
  EXPECT_EQ(json.GetType(""), JsonObject::kObject);
  EXPECT_TRUE(json.Exists("n"));
  EXPECT_FALSE(json.Exists("z"));
  ASSERT_TRUE(json.SetJson("f", "(function () {})"));
  EXPECT_EQ(json.GetType("f"), JsonObject::kOther);
}

TEST(JsonNumbers, KeepThirteenSignificantDigits) {
  JsonObject json;
  EXPECT_TRUE(json.SetNumber("big", 12345678901234.0));
  EXPECT_EQ(json.GetValue("big"), "12345678901230");
  EXPECT_DOUBLE_EQ(json.GetNumber("big"), 12345678901230.0);
  EXPECT_TRUE(json.SetNumber("half", 12.5));
  EXPECT_TRUE(json.SetNumber("neg", -3.0));
  EXPECT_EQ(json.ToText(), R"({"big":12345678901230,"half":12.5,"neg":-3})");
  // The result is the assigned value read as a truth value.
  EXPECT_FALSE(json.SetNumber("zero", 0));
  EXPECT_EQ(json.GetType("zero"), JsonObject::kNumber);
}

TEST(JsonMembers, NamesAndCountsOnTheWrongKindsAreEmpty) {
  JsonObject json;
  ASSERT_TRUE(json.Parse(R"({"o":{"x":1,"y":null,"z":[]},"a":[1,2,3],"s":"abc"})"));
  std::vector<Text> names = {"stale"};
  EXPECT_EQ(json.GetMemberNames(names, "o"), 3);
  EXPECT_EQ(names, (std::vector<Text>{"x", "y", "z"}));
  EXPECT_EQ(json.GetMemberNames(names, "a"), 0);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(json.GetMemberNames(names, "s"), 0);
  EXPECT_EQ(json.GetMemberNames(names), 3);
  EXPECT_EQ(json.GetArrayCount("a"), 3);
  EXPECT_EQ(json.GetArrayCount("o"), 0);
  EXPECT_EQ(json.GetArrayCount("s"), 0);
  EXPECT_EQ(json.GetArrayCount("missing"), 0);
}

TEST(JsonNodeValues, ListsScalarsWithAndWithoutRecursion) {
  JsonObject json;
  ASSERT_TRUE(
      json.Parse(G(R"({"a":"x","n":null,"o":{"b":2,"c":[true,"y",{"d":"深"}]},"e":1.5,"f":""})")));
  std::vector<Text> values = {"stale"};
  EXPECT_EQ(json.GetNodeValues(values), 2);  // the empty last value is dropped
  EXPECT_EQ(values, (std::vector<Text>{"x", "1.5"}));
  EXPECT_EQ(json.GetNodeValues(values, "", true), 6);
  EXPECT_EQ(values, (std::vector<Text>{"x", "2", "true", "y", G("深"), "1.5"}));
  EXPECT_EQ(json.GetNodeValues(values, "o.c"), 2);
  EXPECT_EQ(values, (std::vector<Text>{"true", "y"}));
}

TEST(JsonPaths, RootNamePrefixAndMemberRules) {
  JsonObject json;
  ASSERT_TRUE(json.Parse(R"({"data":{"id":7},"da":1,"k y":"v","list":[{"n":"first"}]})"));
  EXPECT_EQ(json.GetValue("data.id"), "7");            // merely begins with the root's name
  EXPECT_EQ(json.GetType("da"), JsonObject::kObject);  // the root itself
  EXPECT_EQ(json.GetValue("da.da"), "1");
  EXPECT_EQ(json.GetValue(R"(["k y"])"), "v");
  EXPECT_EQ(json.GetValue("list[0].n"), "first");

  Text path = "data.id";
  EXPECT_TRUE(json.ResolvePath(path));
  EXPECT_EQ(path, "da.data.id");
  path = "nothing";
  EXPECT_FALSE(json.ResolvePath(path));
  EXPECT_EQ(path, "da.nothing");

  // New members are made with paths relative to the root.
  EXPECT_TRUE(json.SetValue("created", "yes"));
  EXPECT_TRUE(json.Delete(R"(["da"])"));  // "da" alone would be the root
  EXPECT_FALSE(json.SetValue("da.other", "no"));
  EXPECT_EQ(json.GetType("other"), JsonObject::kMissing);
}

TEST(JsonSharing, CopiesShareTheDocumentAndExtractsDoNot) {
  JsonObject json;
  ASSERT_TRUE(json.Parse(R"({"o":{"k":"v"},"a":[{"e":1}]})"));
  JsonObject copy = json;
  JsonObject viaEngine(json.GetEngine());
  ASSERT_TRUE(copy.SetValue("o.k", "changed"));
  EXPECT_EQ(json.GetValue("o.k"), "changed");
  EXPECT_EQ(viaEngine.GetValue("o.k"), "changed");

  JsonObject extract = json.GetObject("o");
  JsonObject element = json.GetArrayObject(0, "a");
  ASSERT_TRUE(extract.SetValue("k", "mine"));
  ASSERT_TRUE(json.SetValue("o.k", "theirs"));
  EXPECT_TRUE(element.Delete("e"));
  EXPECT_EQ(extract.GetValue("k"), "mine");
  EXPECT_EQ(json.GetValue("o.k"), "theirs");
  EXPECT_EQ(json.GetJsonText("a"), R"([{"e":1}])");

  // A new parse takes a fresh engine; the copy keeps the old document.
  ASSERT_TRUE(json.Parse(R"({"fresh":true})"));
  EXPECT_EQ(copy.GetValue("o.k"), "theirs");
  EXPECT_TRUE(json.Clear());
  EXPECT_EQ(json.ToText(), "{}");
}

// Parse runs its text, which may come from the network: whatever it does, the
// evaluation ends with the empty result and the object can parse again.
TEST(JsonHostileText, IsCutOffAndTheObjectRecovers) {
  const std::vector<std::string> hostile = {
      "(function () { for (;;) {} })()",
      "(function () { for (;;) { try { for (;;) {} } catch (e) {} } })()",
      std::string(100000, '[') + std::string(100000, ']'),
      "(function f() { return eval('f()'); })()",
      "(function f() { return 1 + f(); })()",
      "/(a+)+b/.test('aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa')",
      // Cheap in time, so only the memory cap stops it.
      "'x'.repeat(1 << 27).length",
      "(function () { var a = []; for (;;) a.push('x'.repeat(1 << 20) + a.length); })()",
  };
  JsonObject json;
  for (const std::string& text : hostile) {
    EXPECT_FALSE(json.Parse(text)) << text.substr(0, 60);
    ASSERT_TRUE(json.Parse(R"({"ok":[1]})")) << text.substr(0, 60);
    EXPECT_EQ(json.GetArrayCount("ok"), 1);
  }
  EXPECT_FALSE(json.Parse(std::string(100000, '['), /*literal=*/true));
}

TEST(JsonHostileText, PathsAndValuesThatRunAwayAreCutOffToo) {
  JsonObject json;
  ASSERT_TRUE(json.Parse(R"({"a":1})"));
  EXPECT_EQ(json.GetValue("a; for (;;) {}"), "");
  EXPECT_FALSE(json.SetValue("b", "(function () { for (;;) {} })()", true));
  EXPECT_EQ(json.GetValue("a"), "1");
}

}  // namespace
}  // namespace tw
