// The boxes, driven the way a user would: a timer on the UI thread finds the
// open box and presses a button, types or closes it.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <thread>

#include "tests/ui_engine_qt/engine_fixture.h"
#include "text/system_texts.h"

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
          } else {
            ADD_FAILURE() << "no box opened within 5 s";
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

  static int32_t AskConfirmOrCancel(std::function<void(QWidget*)> act,
                                    const QString& text = QStringLiteral("message")) {
    WhenBoxOpens(std::move(act));
    Buffer title(QStringLiteral("title"));
    Buffer message(text);
    Buffer captions(FromGbk(Texts().confirmOrCancel));
    return EngineMessageBox(title.text, message.text, captions.text);
  }

  // The widget that shows `text`: a label, or whatever names it to screen readers.
  static QWidget* Showing(QWidget* box, const QString& text) {
    for (auto* widget : box->findChildren<QWidget*>()) {
      auto* label = qobject_cast<QLabel*>(widget);
      const bool shows = widget->accessibleName() == text || (label && label->text() == text);
      if (shows && widget->isVisible()) return widget;
    }
    return nullptr;
  }

  // Whether `text` has a character of the CJK block, i.e. was translated.
  static bool IsChinese(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff; });
  }

  static QString Browse(const QString& title, const QString& start, int32_t editBox,
                        std::function<void(QFileDialog*)> act) {
    WhenBoxOpens([act = std::move(act)](QWidget* box) {
      auto* dialog = qobject_cast<QFileDialog*>(box);
      EXPECT_NE(dialog, nullptr) << "the box open is no folder dialog";
      if (dialog != nullptr) act(dialog);
      if (box->isVisible()) box->close();
    });
    Buffer titleText(title);
    Buffer startText(start);
    return Take(EngineBrowseForFolder(titleText.text, startText.text, editBox));
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

// Enter presses the first button, or the one the focus was moved to; Esc does
// what the close button does: the input box is dismissed, the confirmation not given.
TEST_F(DialogsTest, BoxesAnswerTheKeyboardAlone) {
  // Where the box's keys go: its focused control (the first button, the field).
  const auto focused = [](QWidget* box) {
    return box->focusWidget() != nullptr ? box->focusWidget() : box;
  };
  const auto keys = [focused](std::vector<Qt::Key> pressed) {
    return [focused, pressed](QWidget* box) {
      for (const Qt::Key key : pressed) QTest::keyClick(focused(box), key);
      if (box->isVisible()) box->close();  // a key that did nothing fails, not hangs
    };
  };
  EXPECT_EQ(AskConfirmOrCancel(keys({Qt::Key_Return})), 0);
  EXPECT_EQ(AskConfirmOrCancel(keys({Qt::Key_Tab, Qt::Key_Return})), 1);
  EXPECT_EQ(AskConfirmOrCancel(keys({Qt::Key_Escape})), -1);

  Buffer prompt(FromGbk(Texts().askFileName));
  Buffer caption(FromGbk(Texts().confirm));
  int32_t dismissed = 0;
  QString fieldName;
  WhenBoxOpens([&](QWidget* box) {
    fieldName = focused(box)->accessibleName();
    QTest::keyClicks(focused(box), QStringLiteral("win10"));
    keys({Qt::Key_Escape})(box);
  });
  Take(EngineInputBox(prompt.text, caption.text, &dismissed));
  EXPECT_EQ(dismissed, 1);
  // The field is named by the prompt the box shows as its title.
  EXPECT_EQ(fieldName, FromGbk(Texts().askFileName));
}

TEST_F(DialogsTest, MessageBoxFromAnotherThreadBlocksItWhileTheUiStaysLive) {
  const UiControl window = MakeWindow();
  const UiControl label = CreateControl_Label(window, 0, 0, 10, 10, nullptr, nullptr);
  ControlShow(window);
  int32_t pressed = -2;
  // Started once the loop runs: earlier, the call would still see the previous
  // test's ended loop and return at once.
  std::thread worker;
  Soon([&] {
    worker = std::thread([&] {
      Buffer captions(FromGbk(Texts().confirmOrCancel));
      pressed = EngineMessageBox(nullptr, nullptr, captions.text);
      EngineQuitMessageLoop(0);
    });
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

TEST_F(DialogsTest, InputBoxShowsItsPromptOnceAsItsTitle) {
  const QString askFileName = FromGbk(Texts().askFileName);
  Buffer prompt(askFileName);
  Buffer caption(FromGbk(Texts().confirm));
  QString title;
  QStringList labels;
  WhenBoxOpens([&](QWidget* box) {
    title = box->windowTitle();
    for (auto* label : box->findChildren<QLabel*>()) labels << label->text();
    box->close();
  });
  int32_t dismissed = 0;
  Take(EngineInputBox(prompt.text, caption.text, &dismissed));
  EXPECT_EQ(title, askFileName);
  EXPECT_FALSE(labels.contains(askFileName)) << "the prompt is repeated inside the box";
}

TEST_F(DialogsTest, MessageBoxWrapsALongPathAnywhereToShowItWhole) {
  // A path without a single blank, as a long typed name makes it.
  const QString path = QStringLiteral("/home/user/Documents/") +
                       QStringLiteral("Win10_2004_x64_").repeated(20) + QStringLiteral(".iso");
  QSize shortBox;
  AskConfirmOrCancel([&](QWidget* box) {
    shortBox = box->size();
    Buttons(box).at(1)->click();
  });

  QSize longBox;
  QRect shown;
  int neededHeight = 0;
  AskConfirmOrCancel(
      [&](QWidget* box) {
        longBox = box->size();
        // Closed whatever is found, so a failure does not leave the test waiting.
        if (QWidget* text = Showing(box, path)) {
          shown = QRect(text->mapTo(box, QPoint(0, 0)), text->size());
          // At least as many lines as the path's width needs at the width it got.
          const QFontMetrics metrics(text->font());
          const auto lines = std::ceil(metrics.horizontalAdvance(path) / double(text->width()));
          neededHeight = static_cast<int>(lines) * metrics.height();
        }
        Buttons(box).at(1)->click();
      },
      path);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  ASSERT_TRUE(shown.isValid()) << "no widget shows the path";
  EXPECT_GT(longBox.width(), shortBox.width()) << "the box grows with its message";
  EXPECT_LE(longBox.width(), screen.width() * 3 / 4) << "but stays a box on the screen";
  EXPECT_TRUE(QRect(QPoint(0, 0), longBox).contains(shown)) << "the message is cut off by the box";
  EXPECT_GE(shown.height(), neededHeight) << "the path is not wrapped";
}

TEST_F(DialogsTest, MessageTallerThanTheScreenScrollsWithinIt) {
  const QString huge = QStringLiteral("x").repeated(8000);
  QSize box;
  AskConfirmOrCancel(
      [&](QWidget* shown) {
        box = shown->size();
        Buttons(shown).at(1)->click();
      },
      huge);
  EXPECT_LE(box.height(), QGuiApplication::primaryScreen()->availableGeometry().height());
}

TEST_F(DialogsTest, QtsOwnTextsSpeakChinese) {
  QStringList helpButtons;
  WhenBoxOpens([&](QWidget* box) {
    for (auto* button : Buttons(box)) helpButtons << button->text();
    Buttons(box).at(0)->click();
  });
  Buffer help(FromGbk(Texts().help));
  SystemMessageBox(help.text, help.text);
  EXPECT_EQ(helpButtons, QStringList{QStringLiteral("确定")});

  QStringList labels;
  Browse({}, QDir::tempPath(), 1, [&](QFileDialog* dialog) {
    for (auto part :
         {QFileDialog::LookIn, QFileDialog::FileName, QFileDialog::Accept, QFileDialog::Reject}) {
      labels << dialog->labelText(part);
    }
  });
  // What the folder dialog lists in its type column for every folder.
  labels << QFileIconProvider().type(QFileInfo(QDir::tempPath()));
  ASSERT_EQ(labels.size(), 5);
  for (const QString& label : labels) EXPECT_TRUE(IsChinese(label)) << label.toStdString();
}

TEST_F(DialogsTest, FolderBrowserTitleIsExactlyTheOneGiven) {
  QString title = QStringLiteral("unset");
  Browse({}, QDir::tempPath(), 1, [&](QFileDialog* dialog) { title = dialog->windowTitle(); });
  EXPECT_EQ(title, QString()) << "an empty title gets a default";
  const QString chooseFolder = FromGbk(Texts().chooseFolder);
  Browse(chooseFolder, QDir::tempPath(), 1,
         [&](QFileDialog* dialog) { title = dialog->windowTitle(); });
  EXPECT_EQ(title, chooseFolder);
}

TEST_F(DialogsTest, FolderBrowserOffersTheNameEditOnlyWhenAsked) {
  const auto visibleEdits = [](QFileDialog* dialog) {
    int count = 0;
    for (auto* edit : dialog->findChildren<QLineEdit*>()) count += edit->isVisible() ? 1 : 0;
    return count;
  };
  int withEdit = -1;
  int withoutEdit = -1;
  int choices = -1;
  Browse({}, QDir::tempPath(), 1, [&](QFileDialog* dialog) {
    withEdit = visibleEdits(dialog);
    choices = 0;
    for (auto* combo : dialog->findChildren<QComboBox*>()) choices += combo->isVisible() ? 1 : 0;
  });
  Browse({}, QDir::tempPath(), 0, [&](QFileDialog* dialog) { withoutEdit = visibleEdits(dialog); });
  EXPECT_EQ(withEdit, 1);
  EXPECT_EQ(withoutEdit, 0);
  EXPECT_EQ(choices, 1) << "more than the folder to look in: a file type among folders only";
}

TEST_F(DialogsTest, FolderBrowserStartsInTheNearestFolderThatExists) {
  QTemporaryDir root;
  QString startedIn;
  Browse({}, root.path() + QStringLiteral("/not made/yet"), 1,
         [&](QFileDialog* dialog) { startedIn = dialog->directory().absolutePath(); });
  EXPECT_EQ(startedIn, QDir(root.path()).absolutePath());
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
