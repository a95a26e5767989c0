// The window, the button faces with their captions, the toolbar, timers and
// the progress bar, as the program drives them.
#include <QImage>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "tests/ui_engine_qt/engine_fixture.h"
#include "text/system_texts.h"

namespace tw::engine_test {
namespace {

using ControlsTest = EngineTest;

const QRect kFace(64, 64, 120, 57);
const QRect kCaption(1, 2, 117, 54);

TEST_F(ControlsTest, WindowReportsCreationBeforeShowingAndOnlyOnce) {
  EventLog log;
  const UiControl window = MakeWindow(&log);
  bool visibleWhenCreated = true;
  log.onEvent = [&](const Event& event) {
    if (event.code == UI_EVENT_CREATED) visibleWhenCreated = TopLevel()->isVisible();
  };
  SetText(window, FromGbk(Texts().windowTitle));
  ControlShow(window);
  ControlShow(window);
  EXPECT_EQ(log.Count(UI_EVENT_CREATED), 1);
  EXPECT_FALSE(visibleWhenCreated);
  EXPECT_TRUE(TopLevel()->isVisible());
  EXPECT_EQ(TopLevel()->size(), QSize(522, 442));
  EXPECT_EQ(GetText(window), FromGbk(Texts().windowTitle));
  // The background the program resets at creation is accepted, empty or not.
  UiValue empty{0, nullptr};
  EXPECT_EQ(ControlSendMessage(window, UI_MSG_SET, UI_PROP_BACKGROUND, &empty), 1);
}

TEST_F(ControlsTest, ClosingTheWindowIsReportedAndLeavesTheLoopToTheProgram) {
  EventLog log;
  const UiControl window = MakeWindow(&log);
  ControlShow(window);
  Soon([] { TopLevel()->close(); });
  Soon([&] { EngineQuitMessageLoop(log.Count(UI_EVENT_CLOSED) == 1 ? 21 : 22); }, 50);
  EXPECT_EQ(RunLoop(), 21);
}

TEST_F(ControlsTest, HoverLevelIsKeptAsWrittenAndDrawnClamped) {
  const UiControl window = MakeWindow();
  const UiControl face = CreateControl_PictureBox(window, 64, 64, 120, 57, nullptr, nullptr);
  ControlShow(window);
  QWidget* faceWidget = WidgetAt(kFace);
  ASSERT_NE(faceWidget, nullptr);
  auto look = [&](int32_t level) {
    ControlSetHoverLevel(face, level);
    EXPECT_EQ(ControlGetHoverLevel(face), level);
    return faceWidget->grab().toImage();
  };
  const QImage rest = look(0);
  const QImage half = look(4);
  const QImage full = look(8);
  EXPECT_NE(rest, half);
  EXPECT_NE(half, full);
  EXPECT_NE(rest, full);
  EXPECT_EQ(look(9), full);
  EXPECT_EQ(look(-1), rest);
  EXPECT_EQ(look(100), full);
}

TEST_F(ControlsTest, CaptionOverAFaceReportsClicksAndHoverWhileEnabled) {
  EventLog log;
  const UiControl window = MakeWindow();
  const UiControl face = CreateControl_PictureBox(window, 64, 64, 120, 57, nullptr, nullptr);
  const UiControl caption = CreateControl_Label(face, 1, 2, 117, 54, &RecordEvent, &log);
  SetText(caption, FromGbk(Texts().downloadButton));
  ControlShow(window);
  QWidget* label = WidgetAt(kCaption);
  ASSERT_NE(label, nullptr);

  QTest::mouseClick(label, Qt::LeftButton);
  EXPECT_EQ(log.Count(UI_EVENT_CLICK), 1);
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(label, &enter);
  QApplication::sendEvent(label, &leave);
  ASSERT_EQ(log.Count(UI_EVENT_HOVER), 2);
  EXPECT_EQ(log.events[1].a, 1);
  EXPECT_EQ(log.events[2].a, 0);

  // A disabled face takes its caption out of play, while the caption keeps
  // its own enabled state.
  ControlSetEnabled(face, 0);
  EXPECT_EQ(ControlGetEnabled(face), 0);
  EXPECT_EQ(ControlGetEnabled(caption), 1);
  log.events.clear();
  QTest::mouseClick(label, Qt::LeftButton);
  QApplication::sendEvent(label, &enter);
  EXPECT_TRUE(log.events.empty());
  ControlSetEnabled(face, 1);
  EXPECT_EQ(ControlGetEnabled(face), 1);
  QTest::mouseClick(label, Qt::LeftButton);
  EXPECT_EQ(log.Count(UI_EVENT_CLICK), 1);
}

TEST_F(ControlsTest, ToolbarClicksReportTheButtonsIndex) {
  EventLog log;
  const UiControl window = MakeWindow();
  const UiControl toolbar = CreateControl_Toolbar(window, 1, 32, 517, 28, &RecordEvent, &log);
  Buffer about(FromGbk(Texts().about));
  Buffer help(FromGbk(Texts().help));
  EXPECT_EQ(InsertButton_Toolbar(toolbar, -1, about.text), 0);
  EXPECT_EQ(InsertButton_Toolbar(toolbar, -1, help.text), 1);
  ControlShow(window);
  auto* bar = qobject_cast<QToolBar*>(WidgetAt(QRect(1, 32, 517, 28)));
  ASSERT_NE(bar, nullptr);
  auto click = [&](int index) {
    qobject_cast<QToolButton*>(bar->widgetForAction(bar->actions().at(index)))->click();
  };
  click(1);
  click(0);
  ASSERT_EQ(log.events.size(), 2u);
  EXPECT_EQ(log.events[0].code, UI_EVENT_TOOLBAR);
  EXPECT_EQ(log.events[0].a, 1);
  EXPECT_EQ(log.events[1].a, 0);
  EXPECT_EQ(bar->actions().at(0)->text(), FromGbk(Texts().about));
}

TEST_F(ControlsTest, TimerTicksUntilItsIntervalIsSetToZero) {
  EventLog log;
  const UiControl timer = EngineCreateTimer(0, &RecordEvent, &log);
  ASSERT_NE(timer, 0);
  log.onEvent = [&](const Event&) {
    if (log.Count(UI_EVENT_TIMER) == 3) {
      EngineSetTimerInterval(timer, 0);
      // Enough time for further ticks, were the timer still running.
      Soon([] { EngineQuitMessageLoop(0); }, 60);
    }
  };
  EngineSetTimerInterval(timer, 5);
  RunLoop();
  EXPECT_EQ(log.Count(UI_EVENT_TIMER), 3);
}

TEST_F(ControlsTest, ProgressBarKeepsItsValueWithinTheRange) {
  const UiControl window = MakeWindow();
  const UiControl bar = CreateControl_ProgressBar(window, 256, 400, 256, 32, nullptr, nullptr);
  EXPECT_EQ(GetNumber(bar, UI_PROP_RANGE_MAX), 100);
  SetNumber(bar, UI_PROP_VALUE, 150);
  EXPECT_EQ(GetNumber(bar, UI_PROP_VALUE), 100);
  SetNumber(bar, UI_PROP_VALUE, -3);
  EXPECT_EQ(GetNumber(bar, UI_PROP_VALUE), 0);
  SetNumber(bar, UI_PROP_RANGE_MAX, 200);
  SetNumber(bar, UI_PROP_VALUE, 150);
  EXPECT_EQ(GetNumber(bar, UI_PROP_VALUE), 150);
}

TEST_F(ControlsTest, TextBuffersCountTheirTerminatorAndTwoBytesReadAsEmpty) {
  const UiControl window = MakeWindow();
  const UiControl label = CreateControl_Label(window, 8, 400, 192, 26, nullptr, nullptr);
  auto readBack = [&] {
    UiValue value{0, nullptr};
    ControlSendMessage(label, UI_MSG_GET, UI_PROP_TEXT, &value);
    return value.text;
  };
  SetText(label, FromGbk(Texts().initialStatus));
  EXPECT_EQ(GetText(label), FromGbk(Texts().initialStatus));

  SetText(label, QStringLiteral("x"));
  UiText* one = readBack();
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->byteLength, 4u);
  EXPECT_EQ(one->units[0], u'x');
  EXPECT_EQ(one->units[1], 0);
  ReleaseTextBuffer(one);

  // Two bytes hold no more than the terminator, whatever they contain.
  UiText* shortBuffer = MakeTextBuffer(nullptr, 0);
  shortBuffer->units[0] = u'y';
  UiValue value{0, shortBuffer};
  ControlSendMessage(label, UI_MSG_SET, UI_PROP_TEXT, &value);
  ReleaseTextBuffer(shortBuffer);
  UiText* empty = readBack();
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->byteLength, 2u);
  EXPECT_EQ(empty->units[0], 0);
  ReleaseTextBuffer(empty);
}

TEST_F(ControlsTest, DestroyedControlsAndTheirChildrenAreGone) {
  const UiControl window = MakeWindow();
  const UiControl face = CreateControl_PictureBox(window, 64, 64, 120, 57, nullptr, nullptr);
  const UiControl caption = CreateControl_Label(face, 1, 2, 117, 54, nullptr, nullptr);
  SetText(caption, QStringLiteral("caption"));
  ControlDestroy(face);
  EngineProcessMessages();
  EXPECT_EQ(SetNumber(caption, UI_PROP_TEXT, 0), 0);
  EXPECT_EQ(GetText(caption), QString());
  EXPECT_EQ(CreateControl_Label(face, 0, 0, 5, 5, nullptr, nullptr), 0);
  EXPECT_NE(CreateControl_Label(window, 0, 0, 5, 5, nullptr, nullptr), 0);
}

}  // namespace
}  // namespace tw::engine_test
