// Without a display the engine refuses to start instead of letting Qt abort
// the program. Each case runs in a fresh process, before any application exists.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ui_engine/engine_abi.h"

namespace {

int StartWith(const char* platform, const char* display) {
  if (platform != nullptr) {
    setenv("QT_QPA_PLATFORM", platform, 1);
  } else {
    unsetenv("QT_QPA_PLATFORM");
  }
  if (display != nullptr) {
    setenv("DISPLAY", display, 1);
  } else {
    unsetenv("DISPLAY");
  }
  unsetenv("WAYLAND_DISPLAY");
  return EngineStartup(nullptr);
}

class EngineStartupDeathTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(EngineStartupDeathTest, NoDisplayGivesZero) {
  EXPECT_EXIT(std::exit(StartWith(nullptr, nullptr)), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(std::exit(StartWith("xcb", nullptr)), ::testing::ExitedWithCode(0), "");
}

TEST_F(EngineStartupDeathTest, NamedDisplayThatDoesNotAnswerGivesZero) {
  EXPECT_EXIT(std::exit(StartWith(nullptr, ":4711")), ::testing::ExitedWithCode(0), "");
}

TEST_F(EngineStartupDeathTest, OffscreenPlatformStarts) {
  EXPECT_EXIT(std::exit(StartWith("offscreen", nullptr)), ::testing::ExitedWithCode(1), "");
}

}  // namespace
