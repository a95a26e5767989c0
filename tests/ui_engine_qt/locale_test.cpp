// Starting the engine starts the toolkit, which takes the whole process locale
// from the environment. Numbers the program writes must not turn to decimal
// commas then. A process of its own, so the engine starts here first.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string>

#include "ui_engine/engine_abi.h"

namespace {

const char* const kLocale = "de_DE.UTF-8";

std::string Printed(double value) {
  char out[32];
  std::snprintf(out, sizeof out, "%.13g", value);
  return out;
}

// A temporary folder holding a German locale built by localedef, for machines
// that have none; removed at the end.
class BuiltLocale {
 public:
  ~BuiltLocale() {
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }
  // Empty when it was built, else why not.
  std::string Build() {
    if (std::system("command -v localedef >/dev/null 2>&1") != 0) return "no localedef";
    char pattern[] = "/tmp/tw-locale-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return "no temporary folder";
    folder_ = pattern;
    // Bounded: localedef takes seconds; a minute means it hangs.
    const std::string command = std::string("timeout 60 localedef -i de_DE -f UTF-8 ") + folder_ +
                                "/" + kLocale + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    // localedef exits 1 for warnings (as on a locale source it finds lax) with the locale written.
    if (status != 0 && !std::filesystem::exists(folder_ + "/" + kLocale + "/LC_NUMERIC")) {
      return "localedef failed or timed out after 60 s: " + command;
    }
    setenv("LOCPATH", folder_.c_str(), 1);
    return {};
  }

 private:
  std::string folder_;
};

TEST(EngineLocale, NumbersKeepTheDecimalPointUnderADecimalCommaLocale) {
  ASSERT_EQ(QCoreApplication::instance(), nullptr) << "the engine started before this test";
  BuiltLocale built;
  if (std::setlocale(LC_ALL, kLocale) == nullptr) {
    const std::string failure = built.Build();
    if (failure == "no localedef") {
      GTEST_SKIP() << "no de_DE.UTF-8 locale and no localedef to build one";
    }
    ASSERT_EQ(failure, "");
    ASSERT_NE(std::setlocale(LC_ALL, kLocale), nullptr) << "the locale built is not usable";
  }
  ASSERT_EQ(Printed(12.35), "12,35") << "the locale has no decimal comma: the test shows nothing";
  std::setlocale(LC_ALL, "C");

  setenv("LC_ALL", kLocale, 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ASSERT_EQ(EngineStartup(nullptr), 1);
  EXPECT_EQ(Printed(12.35), "12.35");
  EXPECT_EQ(Printed(1.5), "1.5");
  // The rest of the locale stays the user's: the character set in particular.
  EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), kLocale);
}

}  // namespace
