// What screen readers learn of the window through Qt's accessibility: every
// control's name, the captions as buttons they can press, and the status line
// announced when it changes. Run on a desktop whose accessibility bus is up
// (on_desktop.sh), so Qt's accessibility is on before the window is made, as
// with a screen reader running at start-up; an update handler hears what the
// screen reader would.
#include <QAccessible>
#include <QApplication>
#include <QTest>

#include "tests/ui_engine_qt/main_window_shape.h"
#include "text/system_texts.h"

namespace tw::engine_test {
namespace {

struct Heard {
  QObject* object;
  QAccessible::Event type;
  QString name;  // the object's name when the event came
};
std::vector<Heard> gHeard;

void Hear(QAccessibleEvent* event) {
  QAccessibleInterface* about = event->accessibleInterface();
  gHeard.push_back({event->object(), event->type(),
                    about != nullptr ? about->text(QAccessible::Name) : QString()});
}

class AccessibilityTest : public EngineTest {
 protected:
  void SetUp() override {
    previous_ = QAccessible::installUpdateHandler(&Hear);
    // The bridge starts listening once it has found the accessibility bus.
    ASSERT_TRUE(QTest::qWaitFor([] { return QAccessible::isActive(); }, 10000))
        << "gave up after 10 s waiting for Qt's accessibility to become active";
    gHeard.clear();
  }
  void TearDown() override {
    QAccessible::installUpdateHandler(previous_);
    EngineTest::TearDown();
  }

  static QAccessibleInterface* Of(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
  }
  static void SetName(UiControl control, const std::string& gbk) {
    Buffer name(FromGbk(gbk));
    UiValue value{0, name.text};
    ControlSendMessage(control, UI_MSG_SET, UI_PROP_ACCESSIBLE_NAME, &value);
  }
  static int HeardOn(QObject* object, QAccessible::Event type) {
    int count = 0;
    for (const Heard& heard : gHeard) count += heard.object == object && heard.type == type ? 1 : 0;
    return count;
  }

 private:
  QAccessible::UpdateHandler previous_ = nullptr;
};

TEST_F(AccessibilityTest, EveryControlHasAName) {
  const SystemTexts& t = Texts();
  EventLog log;
  MainWindowShape w(&log);
  SetName(w.list, t.catalogListName);
  SetName(w.bar, t.progressBarName);
  SetName(w.folderLine, t.saveFolderName);
  SetText(w.folderLine, QStringLiteral("/home/user/Documents/下载的系统镜像"));

  const std::string captions[3] = {t.downloadButton, t.cancelButton, t.folderButton};
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(w.captionWidgets[i], nullptr);
    EXPECT_EQ(Of(w.captionWidgets[i])->role(), QAccessible::Button);
    EXPECT_EQ(Of(w.captionWidgets[i])->text(QAccessible::Name), FromGbk(captions[i]));
    // The face around it is called the same.
    EXPECT_EQ(Of(w.faceWidgets[i])->text(QAccessible::Name), FromGbk(captions[i]));
  }
  ASSERT_EQ(w.toolButtons.size(), 2u);
  EXPECT_EQ(Of(w.toolButtons[0])->text(QAccessible::Name), FromGbk(t.about));
  EXPECT_EQ(Of(w.toolButtons[1])->text(QAccessible::Name), FromGbk(t.help));
  EXPECT_EQ(Of(w.listWidget)->text(QAccessible::Name), FromGbk(t.catalogListName));
  EXPECT_EQ(Of(w.barWidget)->text(QAccessible::Name), FromGbk(t.progressBarName));
  EXPECT_EQ(Of(w.folderWidget)->text(QAccessible::Name), FromGbk(t.saveFolderName));
  // The folder itself is offered beside the name.
  EXPECT_EQ(Of(w.folderWidget)->text(QAccessible::Description),
            QStringLiteral("/home/user/Documents/下载的系统镜像"));
  EXPECT_EQ(Of(TopLevel())->text(QAccessible::Name), QStringLiteral("Tarnwick"));
  // Read back through the engine, a name is the one screen readers get.
  UiValue value{0, nullptr};
  ControlSendMessage(w.faces[1], UI_MSG_GET, UI_PROP_ACCESSIBLE_NAME, &value);
  EXPECT_EQ(Take(value.text), FromGbk(t.cancelButton));
}

TEST_F(AccessibilityTest, TheStatusLineIsAnnouncedWhenItChanges) {
  EventLog log;
  MainWindowShape w(&log);
  SetText(w.status, FromGbk(Texts().initialStatus));
  SetNumber(w.status, UI_PROP_LIVE, 1);
  EXPECT_EQ(Of(w.statusWidget)->role(), QAccessible::StatusBar);
  gHeard.clear();
  const QString report = QStringLiteral("10%   18MB/s   500MB");
  SetText(w.status, report);
  SetText(w.status, report);  // nothing new to announce
  ASSERT_EQ(HeardOn(w.statusWidget, QAccessible::NameChanged), 1);
  for (const Heard& heard : gHeard) {
    if (heard.object == w.statusWidget) {
      EXPECT_EQ(heard.name, report);
    }
  }

  // A named label's text is not its name: the folder line tells its new folder
  // as a new description.
  SetName(w.folderLine, Texts().saveFolderName);
  gHeard.clear();
  SetText(w.folderLine, QStringLiteral("/media/usb"));
  EXPECT_EQ(HeardOn(w.folderWidget, QAccessible::DescriptionChanged), 1);
  EXPECT_EQ(HeardOn(w.folderWidget, QAccessible::NameChanged), 0);
}

TEST_F(AccessibilityTest, AScreenReaderPressesACaptionAsAClick) {
  EventLog log;
  MainWindowShape w(&log);
  QAccessibleActionInterface* actions = Of(w.captionWidgets[0])->actionInterface();
  ASSERT_NE(actions, nullptr);
  ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
  log.events.clear();
  actions->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(log.Count(UI_EVENT_CLICK), 1);
  // Not while the window is busy with it.
  ControlSetEnabled(w.faces[0], 0);
  actions->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(log.Count(UI_EVENT_CLICK), 1);
}

}  // namespace
}  // namespace tw::engine_test
