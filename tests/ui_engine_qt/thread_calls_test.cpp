// Calls from other threads run on the UI thread, in order, and never leave a
// caller waiting on a loop that has ended.
#include <QProgressBar>
#include <thread>

#include "tests/ui_engine_qt/engine_fixture.h"

namespace tw::engine_test {
namespace {

using ThreadCallsTest = EngineTest;

TEST_F(ThreadCallsTest, WritesFromAnotherThreadLandInOrderAndReadBack) {
  EventLog log;
  const std::thread::id uiThread = std::this_thread::get_id();
  std::thread::id createdOn;
  log.onEvent = [&](const Event& event) {
    if (event.code == UI_EVENT_CREATED) createdOn = std::this_thread::get_id();
  };
  const UiControl window = MakeWindow(&log);
  const UiControl label = CreateControl_Label(window, 16, 128, 496, 24, nullptr, nullptr);
  const UiControl bar = CreateControl_ProgressBar(window, 256, 400, 256, 32, nullptr, nullptr);

  QString labelSeen;
  std::vector<int64_t> barSeen;
  // Started from inside the loop: before it runs, calls from other threads
  // still see the previous test's ended loop and return at once, and the quit
  // below would be lost.
  std::thread worker;
  Soon([&] {
    worker = std::thread([&] {
      ControlShow(window);
      SetText(label, QStringLiteral("first"));
      SetText(label, QStringLiteral("second"));
      for (int64_t percent = 0; percent <= 100; percent += 10) {
        SetNumber(bar, UI_PROP_VALUE, percent);
        barSeen.push_back(GetNumber(bar, UI_PROP_VALUE));
      }
      labelSeen = GetText(label);
      EngineQuitMessageLoop(4);
    });
  });
  EXPECT_EQ(RunLoop(), 4);
  worker.join();

  EXPECT_EQ(createdOn, uiThread);
  EXPECT_EQ(labelSeen, QStringLiteral("second"));
  ASSERT_EQ(barSeen.size(), 11u);
  for (size_t i = 0; i < barSeen.size(); ++i) EXPECT_EQ(barSeen[i], static_cast<int64_t>(i) * 10);
  // What the worker wrote is what the widget shows.
  auto* shown = qobject_cast<QProgressBar*>(WidgetAt(QRect(256, 400, 256, 32)));
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->value(), 100);
}

TEST_F(ThreadCallsTest, CallsAfterTheLoopEndedReturnEmptyAtOnce) {
  const UiControl window = MakeWindow();
  const UiControl label = CreateControl_Label(window, 0, 0, 10, 10, nullptr, nullptr);
  SetText(label, QStringLiteral("kept"));
  ControlSetHoverLevel(label, 5);
  Soon([] { EngineQuitMessageLoop(0); });
  EXPECT_EQ(RunLoop(), 0);

  QString text = QStringLiteral("unset");
  int32_t level = -1;
  int32_t pressed = 99;
  std::thread late([&] {
    text = GetText(label);
    level = ControlGetHoverLevel(label);
    pressed = EngineMessageBox(nullptr, nullptr, nullptr);
  });
  late.join();
  EXPECT_EQ(text, QString());
  EXPECT_EQ(level, 0);
  EXPECT_EQ(pressed, -1);
  // The UI thread itself still reaches its controls.
  EXPECT_EQ(GetText(label), QStringLiteral("kept"));
  EXPECT_EQ(ControlGetHoverLevel(label), 5);
}

TEST_F(ThreadCallsTest, QuitBeforeTheLoopEndsTheNextLoopWithItsCode) {
  EngineQuitMessageLoop(7);
  EXPECT_EQ(RunLoop(), 7);
  // Consumed: the next loop runs until asked again.
  bool ran = false;
  Soon([&] {
    ran = true;
    EngineQuitMessageLoop(8);
  });
  EXPECT_EQ(RunLoop(), 8);
  EXPECT_TRUE(ran);
}

TEST_F(ThreadCallsTest, ProcessMessagesRunsCallsQueuedByOtherThreads) {
  const UiControl window = MakeWindow();
  const UiControl label = CreateControl_Label(window, 0, 0, 10, 10, nullptr, nullptr);
  std::atomic<bool> done{false};
  std::thread worker;
  // Long blocking work inside an event handler keeps the window alive by
  // pumping; a worker's call must get through meanwhile.
  Soon([&] {
    worker = std::thread([&] {
      SetText(label, QStringLiteral("from worker"));
      done = true;
    });
    for (int round = 0; round < 1000000 && !done; ++round) {
      EngineProcessMessages();
      std::this_thread::yield();
    }
    EngineQuitMessageLoop(0);
  });
  RunLoop();
  worker.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(GetText(label), QStringLiteral("from worker"));
}

}  // namespace
}  // namespace tw::engine_test
