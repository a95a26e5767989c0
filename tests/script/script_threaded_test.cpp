// Engine heaps are per object and their limits per thread: objects on several
// threads at once must neither disturb one another nor share a stack guard.
#include <gtest/gtest.h>
#include <pthread.h>
#if !defined(_WIN32)
#include <iconv.h>
#endif

#include <string>
#include <thread>
#include <vector>

#include "script/json_object.h"
#include "script/regex_object.h"

namespace tw {
namespace {

#if !defined(_WIN32)
// iconv loads and unloads its conversion modules through the dynamic loader,
// whose internal locking the thread checker cannot see. Holding one converter
// each way open for the whole run keeps the modules loaded, so the threads
// below never reach the loader.
class PinConversionModules : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* const pairs[][2] = {
        {"UTF-8", "CP936"}, {"UTF-16LE", "UTF-8"}, {"UTF-16LE", "CP936"}, {"CP936", "UTF-16LE"}};
    for (const auto& pair : pairs) open_.push_back(iconv_open(pair[0], pair[1]));
  }
  void TearDown() override {
    for (iconv_t cd : open_) {
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
  }

 private:
  std::vector<iconv_t> open_;
};
const auto* const kPinned = ::testing::AddGlobalTestEnvironment(new PinConversionModules);
#endif  // Windows converts through the system's code pages, without a loader.

TEST(ScriptThreads, ObjectsOnSeveralThreadsWorkIndependently) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 20;
  std::vector<int> good(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &good] {
      for (int round = 0; round < kRounds; ++round) {
        const std::string id = std::to_string(t * 1000 + round);
        RegexObject regex;
        JsonObject json;
        const bool regexOk =
            regex.Create("id=(\\d+)", "x id=" + id + " y") && regex.GetSubMatchText(1, 1) == id;
        const bool jsonOk = json.Parse("{\"id\":" + id + "}") && json.GetValue("id") == id;
        // One thread also runs into the time budget now and then.
        if (t == 0 && round % 10 == 0) json.Parse("(function () { for (;;) {} })()");
        if (regexOk && jsonOk) ++good[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(good[t], kRounds) << "thread " << t;
}

// Deadlines belong to the thread that set them: an operation running out of
// time on one thread cuts nothing short on another.
TEST(ScriptThreads, ABudgetRunningOutStaysOnItsThread) {
  std::string classes;
  for (int i = 0; i < 10000; ++i) classes += "[\\\\u0000-\\\\uffff]";
  bool hostileFailed = false;
  std::thread hostile([&] {
    JsonObject json;
    hostileFailed = !json.Parse("new RegExp('" + classes + "', 'i')");
  });
  int good = 0;
  for (int round = 0; round < 40; ++round) {
    JsonObject json;
    RegexObject regex;
    const std::string n = std::to_string(round);
    if (json.Parse("{\"a\":[" + n + "]}") && json.GetArrayValue(0, "a") == n &&
        regex.Create("\\d+", "a1b22") && regex.GetMatchCount() == 2) {
      ++good;
    }
  }
  hostile.join();
  EXPECT_TRUE(hostileFailed);
  EXPECT_EQ(good, 40);
}

struct DeepResult {
  bool nested = true;
  bool recursed = true;
  bool after = false;
};

void* DeepOnSmallStack(void* arg) {
  auto* result = static_cast<DeepResult*>(arg);
  JsonObject json;
  result->nested = json.Parse(std::string(100000, '[') + std::string(100000, ']'));
  result->recursed = json.Parse("(function f() { return eval('f()'); })()");
  result->after = json.Parse("{\"a\":[1]}") && json.GetArrayCount("a") == 1;
  return nullptr;
}

TEST(ScriptThreads, DeepRecursionStopsWithinASmallThreadStack) {
  pthread_attr_t attr;
  ASSERT_EQ(pthread_attr_init(&attr), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, 2 * 1024 * 1024), 0);
  DeepResult result;
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attr, DeepOnSmallStack, &result), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  EXPECT_FALSE(result.nested);
  EXPECT_FALSE(result.recursed);
  EXPECT_TRUE(result.after);
}

}  // namespace
}  // namespace tw
