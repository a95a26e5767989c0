// Once the message loop has ended, no thread may wait on it: calls from other
// threads return at once with their empty answers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/support/wait_for.h"
#include "tests/ui_engine_win32/engine_driver.h"

namespace tw::testing {
namespace {

using namespace std::chrono_literals;

struct Loop {
  UiControl timer = 0;
  UiControl label = 0;
  int ticks = 0;
};

// Runs on the UI thread inside the loop, so its engine calls run directly.
int32_t TickOnce(void* context, int32_t code, int32_t, int32_t, int32_t, int32_t) {
  auto* loop = static_cast<Loop*>(context);
  if (code != UI_EVENT_TIMER) return 0;
  ++loop->ticks;
  EngineSetTimerInterval(loop->timer, 0);
  SetText(loop->label, L"进度：");
  EngineQuitMessageLoop(7);
  return 0;
}

int32_t Ignore(void*, int32_t, int32_t, int32_t, int32_t, int32_t) { return 0; }

TEST(EngineLoopEnd, CallsAfterTheLoopEndedReturnAtOnce) {
  ASSERT_TRUE(StartEngineHere());
  Loop loop;
  const UiControl window = CreateControl_Window(0, 50, 50, 522, 442, Ignore, nullptr);
  loop.label = CreateControl_Label(window, 200, 400, 56, 26, Ignore, nullptr);
  loop.timer = EngineCreateTimer(20, TickOnce, &loop);
  ASSERT_NE(loop.timer, 0);

  EXPECT_EQ(EngineRunMessageLoop(), 7);
  EXPECT_EQ(loop.ticks, 1);
  EXPECT_EQ(GetText(loop.label), L"进度：") << "the UI thread's own call did not run";

  std::atomic<bool> done{false};
  int32_t boxResult = 0;
  std::wstring text;
  std::thread late([&] {
    EngineText title(L"  "), message(L"下载完成"), captions(L"确定");
    boxResult = EngineMessageBox(title.get(), message.get(), captions.get());
    text = GetText(loop.label);
    done = true;
  });
  // Nothing pumps here: a call that waited for the UI thread would never return.
  const auto finished = WaitFor([&] { return done.load(); }, 10s, "the late calls to return");
  if (!finished) {
    late.detach();
    FAIL() << finished.message();
  }
  late.join();
  EXPECT_EQ(boxResult, -1);
  EXPECT_EQ(text, L"<none>");
}

}  // namespace
}  // namespace tw::testing
