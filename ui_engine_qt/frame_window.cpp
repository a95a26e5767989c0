#include "ui_engine_qt/frame_window.h"

#include <QCloseEvent>
#include <QMouseEvent>

namespace tw::engine {

FrameWindow::FrameWindow(QWidget* owner, UiEventCallback callback, void* context)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint),
      FrameProperties<Control>(callback, context),
      skin_(this) {}

void FrameWindow::SetTitle(const std::u16string& title) {
  setWindowTitle(QString::fromStdU16String(title));
  update();
}

void FrameWindow::SetBackground(std::string_view bytes) {
  QPixmap image;
  if (!bytes.empty()) {
    image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                       static_cast<uint>(bytes.size()));
  }
  background_ = image;
  update();
}

void FrameWindow::ShowNow() {
  show();
  raise();
  activateWindow();
}

void FrameWindow::closeEvent(QCloseEvent* event) {
  // Whether closing the window ends the program is the program's decision.
  event->accept();
  Emit(UI_EVENT_CLOSED);
}

void FrameWindow::mousePressEvent(QMouseEvent* event) {
  if (!skin_.Press(event)) event->ignore();
}

}  // namespace tw::engine
