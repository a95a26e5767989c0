// The progress bar's task state goes to the window's taskbar button through
// the shell's taskbar object, which Wine offers but does not draw: what is
// checked here is that the road through it keeps the bar as the program set
// it, in every state and from another thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/ui_engine_win32/engine_driver.h"

namespace tw::testing {
namespace {

using namespace std::chrono_literals;

int32_t Ignore(void*, int32_t, int32_t, int32_t, int32_t, int32_t) { return 0; }

TEST(EngineTaskState, EveryStateReachesTheTaskbarWithTheBarUntouched) {
  ASSERT_TRUE(StartEngineHere()) << "the engine did not start";
  const UiControl window = CreateControl_Window(0, 50, 50, 522, 442, Ignore, nullptr);
  const UiControl bar = CreateControl_ProgressBar(window, 256, 400, 256, 32, Ignore, nullptr);
  ControlShow(window);
  EXPECT_EQ(GetNumber(bar, UI_PROP_TASK_STATE), UI_TASK_NONE);

  // As the download's threads write it while the UI thread runs its loop.
  std::atomic<bool> done{false};
  std::thread reporter([&] {
    SetNumber(bar, UI_PROP_VALUE, 40);
    SetNumber(bar, UI_PROP_TASK_STATE, UI_TASK_RUNNING);
    SetNumber(bar, UI_PROP_TASK_STATE, UI_TASK_PAUSED);
    SetNumber(bar, UI_PROP_VALUE, 41);
    SetNumber(bar, UI_PROP_TASK_STATE, UI_TASK_FAILED);
    done = true;
  });
  const bool finished = PumpUntil([&] { return done.load(); }, 10s);
  reporter.join();
  ASSERT_TRUE(finished) << "the reporter's calls were never run on the UI thread";
  EXPECT_EQ(GetNumber(bar, UI_PROP_TASK_STATE), UI_TASK_FAILED);
  EXPECT_EQ(GetNumber(bar, UI_PROP_VALUE), 41);

  EXPECT_EQ(SetNumber(bar, UI_PROP_TASK_STATE, 7), 0) << "an unknown state was taken";
  SetNumber(bar, UI_PROP_TASK_STATE, UI_TASK_NONE);
  EXPECT_EQ(GetNumber(bar, UI_PROP_TASK_STATE), UI_TASK_NONE);
  EXPECT_EQ(GetNumber(bar, UI_PROP_VALUE), 41) << "the bar keeps its last position";

  ControlDestroy(window);
  EngineProcessMessages();
}

}  // namespace
}  // namespace tw::testing
