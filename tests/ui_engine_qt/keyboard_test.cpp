// The window from the keyboard alone, on a real display: Tab and Shift+Tab
// through the stops in reading order, Enter and Space pressing what has the
// focus as a click would, the focus mark, and where the focus goes when the
// control under it is disabled.
#include <QApplication>
#include <QImage>
#include <QTest>

#include "tests/ui_engine_qt/main_window_shape.h"

namespace tw::engine_test {
namespace {

class KeyboardTest : public EngineTest {
 protected:
  static QWidget* Focused() { return QApplication::focusWidget(); }
  static void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
  }
  // The window, once the display has made it the active one.
  static void Activate() { ASSERT_TRUE(QTest::qWaitForWindowActive(TopLevel(), 5000)); }
};

TEST_F(KeyboardTest, TabGoesThroughTheStopsInReadingOrderAndShiftTabBack) {
  EventLog log;
  MainWindowShape w(&log);
  Activate();
  ASSERT_EQ(w.toolButtons.size(), 2u);
  const std::vector<QWidget*> stops = {w.toolButtons[0],    w.toolButtons[1],
                                       w.captionWidgets[0], w.captionWidgets[1],
                                       w.captionWidgets[2], w.listWidget};
  // The window opens with the focus on its first stop.
  EXPECT_EQ(Focused(), stops[0]);
  for (size_t tabs = 1; tabs <= stops.size(); ++tabs) {
    Press(Qt::Key_Tab);
    EXPECT_EQ(Focused(), stops[tabs % stops.size()]) << "after " << tabs << " Tabs";
  }
  Press(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(Focused(), w.listWidget);
  Press(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(Focused(), w.captionWidgets[2]);

  // A busy button is passed over.
  ControlSetEnabled(w.faces[1], 0);
  w.captionWidgets[0]->setFocus(Qt::TabFocusReason);
  Press(Qt::Key_Tab);
  EXPECT_EQ(Focused(), w.captionWidgets[2]);
  // The labels and the bar are read, not focused.
  for (const QWidget* passive : {w.folderWidget, w.statusWidget, w.barWidget, w.faceWidgets[0]}) {
    EXPECT_EQ(passive->focusPolicy() & Qt::TabFocus, 0) << passive->metaObject()->className();
  }
}

TEST_F(KeyboardTest, EnterOrSpaceOnAFocusedButtonIsItsClick) {
  EventLog log;
  MainWindowShape w(&log);
  Activate();
  w.captionWidgets[0]->setFocus(Qt::TabFocusReason);
  log.events.clear();
  Press(Qt::Key_Return);
  Press(Qt::Key_Enter, Qt::KeypadModifier);
  Press(Qt::Key_Space);
  // Held down, Enter presses once; with Ctrl it means something else.
  QKeyEvent repeated(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
  QApplication::sendEvent(Focused(), &repeated);
  Press(Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(log.Count(UI_EVENT_CLICK), 3);
  EXPECT_EQ(log.events.size(), 3u);

  w.toolButtons[1]->setFocus(Qt::TabFocusReason);
  log.events.clear();
  Press(Qt::Key_Return);
  Press(Qt::Key_Space);
  ASSERT_EQ(log.events.size(), 2u);
  for (const Event& event : log.events) {
    EXPECT_EQ(event.code, UI_EVENT_TOOLBAR);
    EXPECT_EQ(event.a, 1);
  }
}

TEST_F(KeyboardTest, OnlyTheFocusedStopShowsTheFocusMark) {
  EventLog log;
  MainWindowShape w(&log);
  Activate();
  for (QWidget* stop :
       {static_cast<QWidget*>(w.toolButtons[0]), w.captionWidgets[1], w.listWidget}) {
    w.captionWidgets[2]->setFocus(Qt::TabFocusReason);
    const QImage without = stop->grab().toImage();
    stop->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(stop->hasFocus());
    EXPECT_NE(stop->grab().toImage(), without) << stop->metaObject()->className();
  }
}

TEST_F(KeyboardTest, DisablingTheFocusedButtonHandsTheFocusToTheNextStop) {
  EventLog log;
  MainWindowShape w(&log);
  Activate();
  // Pressing "选定下载" makes the window busy: its face is disabled under the focus.
  w.captionWidgets[0]->setFocus(Qt::TabFocusReason);
  ControlSetEnabled(w.list, 0);
  ControlSetEnabled(w.faces[0], 0);
  EXPECT_EQ(Focused(), w.captionWidgets[1]);
  ControlSetEnabled(w.faces[0], 1);
  EXPECT_EQ(Focused(), w.captionWidgets[1]);
  // A control disabled away from the focus leaves it where it is.
  ControlSetEnabled(w.faces[2], 0);
  EXPECT_EQ(Focused(), w.captionWidgets[1]);
}

}  // namespace
}  // namespace tw::engine_test
