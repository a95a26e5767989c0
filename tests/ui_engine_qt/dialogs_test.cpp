// The boxes, driven the way a user would: a timer on the UI thread finds the
// open box and presses a button, types or closes it.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <thread>

#include "tests/ui_engine_qt/engine_fixture.h"
#include "text/texts.h"

namespace tw::engine_test {
namespace {

class DialogsTest : public EngineTest {
 protected:
  // Waits (on the UI thread, through timers) for a modal box, then runs `act` on it.
  static void WhenBoxOpens(std::function<void(QWidget*)> act, int triesLeft = 500) {
    Soon(
        [act = std::move(act), triesLeft]() mutable {
          QWidget* box = QApplication::activeModalWidget();
          if (box != nullptr && box->isVisible()) {
            act(box);
          } else if (triesLeft > 0) {
            WhenBoxOpens(std::move(act), triesLeft - 1);
          }
        },
        10);
  }

  static std::vector<QPushButton*> Buttons(QWidget* box) {
    std::vector<QPushButton*> buttons;
    for (auto* button : box->findChildren<QPushButton*>()) buttons.push_back(button);
    std::sort(buttons.begin(), buttons.end(),
              [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
    return buttons;
  }

  static int32_t AskConfirmOrCancel(std::function<void(QWidget*)> act) {
    WhenBoxOpens(std::move(act));
    Buffer title(QStringLiteral("title"));
    Buffer message(QStringLiteral("message"));
    Buffer captions(FromGbk(Texts().confirmOrCancel));
    return EngineMessageBox(title.text, message.text, captions.text);
  }
};

TEST_F(DialogsTest, MessageBoxReturnsTheZeroBasedIndexOfThePressedButton) {
  QStringList seen;
  EXPECT_EQ(AskConfirmOrCancel([&](QWidget* box) {
              for (auto* button : Buttons(box)) seen << button->text();
              Buttons(box).at(1)->click();
            }),
            1);
  // The captions split at "&&", in order, with nothing left over.
  EXPECT_EQ(seen, FromGbk(Texts().confirmOrCancel).split(QStringLiteral("&&")));
  EXPECT_EQ(AskConfirmOrCancel([](QWidget* box) { Buttons(box).at(0)->click(); }), 0);
}

TEST_F(DialogsTest, MessageBoxClosedWithoutAButtonGivesMinusOne) {
  EXPECT_EQ(AskConfirmOrCancel([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); }), -1);
  EXPECT_EQ(AskConfirmOrCancel([](QWidget* box) { box->close(); }), -1);
}

TEST_F(DialogsTest, MessageBoxFromAnotherThreadBlocksItWhileTheUiStaysLive) {
  const UiControl window = MakeWindow();
  const UiControl label = CreateControl_Label(window, 0, 0, 10, 10, nullptr, nullptr);
  ControlShow(window);
  int32_t pressed = -2;
  std::thread worker([&] {
    Buffer captions(FromGbk(Texts().confirmOrCancel));
    pressed = EngineMessageBox(nullptr, nullptr, captions.text);
    EngineQuitMessageLoop(0);
  });
  WhenBoxOpens([&](QWidget* box) {
    // While the box is up the UI thread still serves its own calls.
    SetText(label, QStringLiteral("live"));
    EXPECT_EQ(GetText(label), QStringLiteral("live"));
    EXPECT_EQ(pressed, -2);
    Buttons(box).at(1)->click();
  });
  RunLoop();
  worker.join();
  EXPECT_EQ(pressed, 1);
}

TEST_F(DialogsTest, InputBoxReportsWhetherItWasDismissed) {
  Buffer prompt(FromGbk(Texts().askFileName));
  Buffer caption(FromGbk(Texts().confirm));
  int32_t dismissed = -1;

  QString title;
  size_t buttons = 0;
  WhenBoxOpens([&](QWidget* box) {
    title = box->windowTitle();
    buttons = Buttons(box).size();
    QTest::keyClicks(box->findChild<QLineEdit*>(), QStringLiteral("win10 2004"));
    Buttons(box).at(0)->click();
  });
  EXPECT_EQ(Take(EngineInputBox(prompt.text, caption.text, &dismissed)),
            QStringLiteral("win10 2004"));
  EXPECT_EQ(dismissed, 0);
  EXPECT_EQ(title, FromGbk(Texts().askFileName));
  EXPECT_EQ(buttons, 1u);

  WhenBoxOpens([](QWidget* box) {
    QTest::keyClicks(box->findChild<QLineEdit*>(), QStringLiteral("typed"));
    box->close();
  });
  Take(EngineInputBox(prompt.text, caption.text, &dismissed));
  EXPECT_EQ(dismissed, 1);

  // Enter in the edit counts as pressing the button.
  WhenBoxOpens([](QWidget* box) {
    auto* edit = box->findChild<QLineEdit*>();
    QTest::keyClicks(edit, QStringLiteral("x1"));
    QTest::keyClick(edit, Qt::Key_Return);
  });
  EXPECT_EQ(Take(EngineInputBox(prompt.text, caption.text, &dismissed)), QStringLiteral("x1"));
  EXPECT_EQ(dismissed, 0);
}

TEST_F(DialogsTest, FolderBrowserGivesTheChosenFolderOrEmptyOnCancel) {
  QTemporaryDir root;
  ASSERT_TRUE(QDir(root.path()).mkdir(QStringLiteral("images")));
  const QString chosen = root.path() + QStringLiteral("/images");
  Buffer title(FromGbk(Texts().chooseFolder));
  Buffer start(root.path());

  QString startedIn;
  WhenBoxOpens([&](QWidget* box) {
    auto* dialog = qobject_cast<QFileDialog*>(box);
    ASSERT_NE(dialog, nullptr);
    startedIn = dialog->directory().absolutePath();
    dialog->reject();
  });
  UiText* cancelled = EngineBrowseForFolder(title.text, start.text, 1);
  ASSERT_NE(cancelled, nullptr);
  EXPECT_EQ(cancelled->byteLength, 2u);
  ReleaseTextBuffer(cancelled);
  EXPECT_EQ(startedIn, QDir(root.path()).absolutePath());

  WhenBoxOpens([&](QWidget* box) {
    // Opening the folder, rather than selecting it in a listing the file system
    // model may not have read yet, makes the answer independent of timing.
    auto* dialog = qobject_cast<QFileDialog*>(box);
    dialog->setDirectory(chosen);
    static_cast<QDialog*>(dialog)->accept();
  });
  EXPECT_EQ(QDir(Take(EngineBrowseForFolder(title.text, start.text, 1))).absolutePath(),
            QDir(chosen).absolutePath());
}

}  // namespace
}  // namespace tw::engine_test
