#include "ui_engine_qt/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <algorithm>

#include "ui_engine_qt/frame_window.h"
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

QString ButtonText(const QString& caption) { return QString(caption).replace('&', "&&"); }

QLabel* MessageLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setMinimumWidth(260);
  label->setMaximumWidth(460);
  return label;
}

// A box in the engine's skin; its close button and Esc dismiss it.
class SkinnedBox : public QDialog {
 public:
  explicit SkinnedBox(const QString& title)
      : QDialog(BoxOwner(), Qt::Dialog | Qt::FramelessWindowHint), skin_(this) {
    setWindowTitle(title);
    setWindowModality(Qt::ApplicationModal);
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(14, Skin::kTitleHeight + 12, 14, 12);
    layout_->setSpacing(12);
    layout_->setSizeConstraint(QLayout::SetFixedSize);
    // The title bar must fit the title, whatever the contents need.
    const int titleWidth = fontMetrics().horizontalAdvance(title) + 80 - 28;
    layout_->addStrut(std::min(titleWidth, 452));
  }

  QVBoxLayout* Layout() const { return layout_; }

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

}  // namespace

int ShowMessageBox(const QString& title, const QString& message, const QString& captions) {
  SkinnedBox box(title);
  QVBoxLayout* layout = box.Layout();
  layout->addWidget(MessageLabel(message, &box));
  auto* row = new QHBoxLayout;
  row->addStretch();
  const QStringList pieces = captions.split(QStringLiteral("&&"));
  for (int index = 0; index < pieces.size(); ++index) {
    auto* button = new QPushButton(ButtonText(pieces.at(index)), &box);
    if (index == 0) button->setDefault(true);
    // exec() reports Rejected (0) for Esc and the close button, so pressed
    // buttons report from 1 up.
    QObject::connect(button, &QPushButton::clicked, &box, [&box, index] { box.done(index + 1); });
    row->addWidget(button);
  }
  layout->addLayout(row);
  return box.exec() - 1;
}

QString ShowInputBox(const QString& prompt, const QString& buttonCaption, bool* dismissed) {
  SkinnedBox box(prompt);
  QVBoxLayout* layout = box.Layout();
  // The prompt is the box's title; it is repeated inside for desktops that draw no titles.
  layout->addWidget(MessageLabel(prompt, &box));
  auto* row = new QHBoxLayout;
  auto* edit = new QLineEdit(&box);
  edit->setMinimumWidth(260);
  auto* button = new QPushButton(ButtonText(buttonCaption), &box);
  button->setDefault(true);
  QObject::connect(button, &QPushButton::clicked, &box, &QDialog::accept);
  row->addWidget(edit);
  row->addWidget(button);
  layout->addLayout(row);
  edit->setFocus();
  const bool accepted = box.exec() == QDialog::Accepted;
  if (dismissed != nullptr) *dismissed = !accepted;
  return edit->text();
}

void ShowSystemMessageBox(const QString& title, const QString& message) {
  QMessageBox box(QMessageBox::Information, title, message, QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

QString ShowFolderBrowser(const QString& title, const QString& initialFolder) {
  const QString start = initialFolder.isEmpty() ? DocumentsFolder() : initialFolder;
  QFileDialog dialog(BoxOwner(), title, start);
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? QString() : chosen.first();
}

QString DocumentsFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void DismissOpenBoxes() {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    auto* box = dynamic_cast<QDialog*>(top);
    if (box != nullptr && box->isVisible()) box->reject();
  }
}

}  // namespace tw::engine
