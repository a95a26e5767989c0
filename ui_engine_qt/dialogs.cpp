#include "ui_engine_qt/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <algorithm>
#include <initializer_list>

#include "ui_engine_common/captions.h"
#include "ui_engine_qt/frame_window.h"
#include "ui_engine_qt/message_text.h"
#include "ui_engine_qt/skin.h"

namespace tw::engine {
namespace {

// Boxes open over the program's window when it is on screen.
QWidget* BoxOwner() {
  QWidget* active = QApplication::activeWindow();
  if (active != nullptr) return active->window();
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (dynamic_cast<FrameWindow*>(top) != nullptr && top->isVisible()) return top;
  }
  return nullptr;
}

QString ButtonText(const QString& caption) {
  return QString::fromStdU16String(DoubleAmpersands(caption.toStdU16String()));
}

constexpr int kSideMargin = 14;

QRect AvailableScreen(const QWidget* owner) {
  QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

// A box grows with its contents up to three fifths of the screen's width, on a
// small screen up to the 488 pixels it always had, then wraps them within it.
int MaxContentWidth(const QWidget* owner) {
  return std::max(488, AvailableScreen(owner).width() * 3 / 5) - 2 * kSideMargin;
}

// A message that would make the box taller than about three quarters of the
// screen (100 pixels for the title bar, margins and buttons) scrolls.
QWidget* MessageArea(const QString& text, QWidget* box) {
  const int maxWidth = MaxContentWidth(box->parentWidget());
  auto* message = new MessageText(text, maxWidth, box);
  message->setMinimumWidth(std::min(260, maxWidth));
  const int maxHeight = AvailableScreen(box->parentWidget()).height() * 3 / 4 - 100;
  if (message->heightForWidth(maxWidth) <= maxHeight) return message;
  auto* area = new QScrollArea(box);
  area->setFrameShape(QFrame::NoFrame);
  area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  area->setWidgetResizable(true);
  area->setWidget(message);
  area->setFixedSize(maxWidth, std::max(maxHeight, 100));
  return area;
}

// A box in the engine's skin; its close button and Esc dismiss it.
class SkinnedBox : public QDialog {
 public:
  explicit SkinnedBox(const QString& title)
      : QDialog(BoxOwner(), Qt::Dialog | Qt::FramelessWindowHint), skin_(this) {
    setWindowTitle(title);
    setWindowModality(Qt::ApplicationModal);
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(kSideMargin, Skin::kTitleHeight + 12, kSideMargin, 12);
    layout_->setSpacing(12);
    layout_->setSizeConstraint(QLayout::SetFixedSize);
    // The title bar must fit the title, whatever the contents need.
    const int titleWidth = fontMetrics().horizontalAdvance(title) + 80 - 2 * kSideMargin;
    layout_->addStrut(std::min(titleWidth, MaxContentWidth(parentWidget())));
  }

  QVBoxLayout* Layout() const { return layout_; }

  // Runs the box; the keyboard then goes back to the window it covered, which
  // without a window manager nobody else would give it to.
  int Run() {
    const int result = exec();
    QWidget* owner = parentWidget();
    if (owner != nullptr && owner->isVisible()) owner->activateWindow();
    return result;
  }

 protected:
  void paintEvent(QPaintEvent*) override { skin_.Paint(); }
  void resizeEvent(QResizeEvent*) override { skin_.Resized(); }
  void mousePressEvent(QMouseEvent* event) override {
    if (!skin_.Press(event)) event->ignore();
  }
  void mouseMoveEvent(QMouseEvent* event) override { skin_.Move(event); }
  void mouseReleaseEvent(QMouseEvent*) override { skin_.Release(); }

 private:
  Skin skin_;
  QVBoxLayout* layout_;
};

// The folder asked for, or the nearest one above it that exists (a folder not
// made yet, a disk unmounted), else the documents folder, else home. The
// dialog itself would fall back to the working directory, which means nothing
// to the user.
QString StartFolder(const QString& asked) {
  for (const QString& candidate : {asked, QString::fromStdU16String(DocumentsFolder())}) {
    if (candidate.isEmpty()) continue;
    QFileInfo folder(QDir::cleanPath(QDir(candidate).absolutePath()));
    while (!folder.isDir() && !folder.isRoot()) folder.setFile(folder.absolutePath());
    if (folder.isDir()) return folder.absoluteFilePath();
  }
  return QDir::homePath();
}

// The file dialog's parts by their object names; a part a Qt version lacks is skipped.
void HideParts(QFileDialog& dialog, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (auto* part = dialog.findChild<QWidget*>(QLatin1String(name))) part->hide();
  }
}

}  // namespace

int ShowMessageBox(const std::u16string& title, const std::u16string& message,
                   const std::u16string& captions) {
  SkinnedBox box(QString::fromStdU16String(title));
  QVBoxLayout* layout = box.Layout();
  layout->addWidget(MessageArea(QString::fromStdU16String(message), &box));
  auto* row = new QHBoxLayout;
  row->addStretch();
  const std::vector<std::u16string> pieces = SplitCaptions(captions);
  for (int index = 0; index < static_cast<int>(pieces.size()); ++index) {
    const QString piece = QString::fromStdU16String(pieces[static_cast<size_t>(index)]);
    auto* button = new QPushButton(ButtonText(piece), &box);
    if (index == 0) button->setDefault(true);
    // exec() reports Rejected (0) for Esc and the close button, so pressed
    // buttons report from 1 up.
    QObject::connect(button, &QPushButton::clicked, &box, [&box, index] { box.done(index + 1); });
    row->addWidget(button);
  }
  layout->addLayout(row);
  return box.Run() - 1;
}

std::u16string ShowInputBox(const std::u16string& prompt, const std::u16string& buttonCaption,
                            bool* dismissed) {
  SkinnedBox box(QString::fromStdU16String(prompt));
  QVBoxLayout* layout = box.Layout();
  auto* row = new QHBoxLayout;
  auto* edit = new QLineEdit(&box);
  edit->setMinimumWidth(260);
  // The prompt is the box's title, which names no field to a screen reader.
  edit->setAccessibleName(QString::fromStdU16String(prompt));
  auto* button = new QPushButton(ButtonText(QString::fromStdU16String(buttonCaption)), &box);
  button->setDefault(true);
  QObject::connect(button, &QPushButton::clicked, &box, &QDialog::accept);
  row->addWidget(edit);
  row->addWidget(button);
  layout->addLayout(row);
  edit->setFocus();
  const bool accepted = box.Run() == QDialog::Accepted;
  if (dismissed != nullptr) *dismissed = !accepted;
  return edit->text().toStdU16String();
}

void ShowSystemMessageBox(const std::u16string& title, const std::u16string& message) {
  QMessageBox box(QMessageBox::Information, QString::fromStdU16String(title),
                  QString::fromStdU16String(message), QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

std::u16string ShowFolderBrowser(const std::u16string& title, const std::u16string& initialFolder,
                                 bool editBox) {
  QFileDialog dialog(BoxOwner());
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setDirectory(StartFolder(QString::fromStdU16String(initialFolder)));
  // After the mode: the dialog names itself after its mode while it has no
  // title, and an empty title asked for stays empty.
  dialog.setWindowTitle(QString::fromStdU16String(title));
  // A file type to choose means nothing where only folders are listed.
  HideParts(dialog, {"fileTypeCombo", "fileTypeLabel"});
  if (!editBox) HideParts(dialog, {"fileNameEdit", "fileNameLabel"});
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? std::u16string() : chosen.first().toStdU16String();
}

std::u16string DocumentsFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdU16String();
}

void DismissOpenBoxes() {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    auto* box = dynamic_cast<QDialog*>(top);
    if (box != nullptr && box->isVisible()) box->reject();
  }
}

}  // namespace tw::engine
