#include "ui_engine_qt/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "ui_engine_qt/frame_window.h"

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

void PrepareBox(QDialog* box, const QString& title) {
  box->setWindowTitle(title);
  box->setWindowModality(Qt::ApplicationModal);
  box->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

}  // namespace

int ShowMessageBox(const QString& title, const QString& message, const QString& captions) {
  QDialog box(BoxOwner());
  PrepareBox(&box, title);
  auto* layout = new QVBoxLayout(&box);
  layout->setSizeConstraint(QLayout::SetFixedSize);
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
  QDialog box(BoxOwner());
  PrepareBox(&box, prompt);
  auto* layout = new QVBoxLayout(&box);
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
