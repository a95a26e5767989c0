// What a hostile verify answer or pattern can make the engine do: every call
// returns within the time budget plus a small margin, and the object works
// afterwards.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "script/json_object.h"
#include "script/regex_object.h"
#include "script/script_heap.h"

namespace tw {
namespace {

using Clock = std::chrono::steady_clock;

// Room for a loaded machine and the sanitizers: the clock is read every few
// hundred steps, and a step may be slow.
constexpr auto kLimit = ScriptHeap::kTimeBudget + std::chrono::milliseconds(500);

// Runs `call` and fails the test when it took longer than kLimit.
void Bounded(const char* what, const std::function<void()>& call) {
  const auto start = Clock::now();
  call();
  const auto took = Clock::now() - start;
  EXPECT_LE(took, kLimit) << what << " took "
                          << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
                          << " ms";
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

void ExpectUsable(JsonObject& json) {
  ASSERT_TRUE(json.Parse(R"({"fileSize":5,"a":[1]})"));
  EXPECT_EQ(json.GetValue("fileSize"), "5");
  EXPECT_EQ(json.GetArrayCount("a"), 1);
}

TEST(ScriptBudgetTeardown, DocumentsCannotLeaveAFinalizerBehind) {
  const std::string endless = "function () { for (;;) {} }";
  const std::string attempts[] = {
      "(function () { Duktape.fin({}, " + endless + "); return 1; })()",
      "(function () { var o = {}; Duktape.fin(o, " + endless + "); return o; })()",
      "(function () { var D = this.Duktape; D.fin(Object.prototype, " + endless +
          "); return 1; })()",
  };
  for (const std::string& text : attempts) {
    Bounded("parse and destroy", [&] {
      auto json = std::make_unique<JsonObject>();
      EXPECT_FALSE(json->Parse(text));
      json.reset();
    });
  }
  Bounded("parse after", [] {
    JsonObject json;
    ExpectUsable(json);
  });
}

TEST(ScriptBudgetTeardown, FreeingAFullHeapReturnsPromptly) {
  Bounded("fill and destroy", [] {
    JsonObject json;
    json.Parse("(function () { var a = []; for (;;) a.push({k: [a.length, 'x' + a.length]}); })()");
  });
}

TEST(ScriptBudgetRegExpCompile, ClassesInADocumentAreCutOff) {
  const std::string classes = Repeat("[\\\\u0000-\\\\uffff]", 10000);
  JsonObject json;
  Bounded("parse", [&] { EXPECT_FALSE(json.Parse("new RegExp('" + classes + "', 'i')")); });
  const std::string literal = Repeat("[\\u0000-\\uffff]", 10000);
  Bounded("parse literal", [&] { EXPECT_FALSE(json.Parse("/" + literal + "/i")); });
  // A script that catches the cut-off and compiles again is stopped all the same.
  Bounded("retrying parse", [&] {
    EXPECT_FALSE(json.Parse("(function () { for (;;) { try { new RegExp('" + classes +
                            "', 'i'); } catch (e) {} } })()"));
  });
  ExpectUsable(json);
}

TEST(ScriptBudgetRegExpCompile, CreateIsCutOffAndTheObjectRecovers) {
  RegexObject regex;
  // Some 50 times what compiles within the budget in an optimised build.
  Bounded("create",
          [&] { EXPECT_FALSE(regex.Create(Repeat("[\\u0000-\\uffff]", 60000), "subject")); });
  EXPECT_EQ(regex.GetMatchCount(), 0);
  EXPECT_EQ(regex.Replace("_"), "");
  // A short one may or may not compile in time; either way it returns.
  Bounded("create short", [&] { regex.Create(Repeat("[\\u0000-\\uffff]", 120), "subject"); });
  ASSERT_TRUE(regex.Create("b+", "abbbc"));
  EXPECT_EQ(regex.Replace("_"), "a_c");
}

TEST(ScriptBudgetOperation, SeveralEvaluationsShareOneBudget) {
  // The root becomes an accessor that never returns, so each step that reads
  // or writes it runs into the clock.
  const std::string trap =
      "(function () { Object.defineProperty(this, 'da', {get: function () { for (;;) {} }, "
      "set: function () { for (;;) {} }}); return 1; }).call(this)";
  JsonObject json;
  Bounded("parse", [&] { EXPECT_FALSE(json.Parse(trap)); });
  Bounded("set", [&] { EXPECT_FALSE(json.SetValue("a.b", "v")); });
  Bounded("get", [&] { EXPECT_EQ(json.GetValue("a"), ""); });
  Bounded("push", [&] { EXPECT_FALSE(json.ArrayPush("v", "list")); });
  Bounded("node values", [&] {
    std::vector<Text> values;
    EXPECT_EQ(json.GetNodeValues(values, "", true), 0);
  });
  ExpectUsable(json);
}

}  // namespace
}  // namespace tw
