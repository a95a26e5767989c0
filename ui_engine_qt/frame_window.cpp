#include "ui_engine_qt/frame_window.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <vector>

#include "ui_engine_common/reading_order.h"

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
  // Once shown, the toolbar has laid out its buttons where they are read.
  OrderFocus();
  raise();
  activateWindow();
}

void FrameWindow::OrderFocus() {
  std::vector<QWidget*> stops;
  std::vector<Place> places;
  for (QWidget* child : findChildren<QWidget*>()) {
    if ((child->focusPolicy() & Qt::TabFocus) == 0 || child->isHidden()) continue;
    const QPoint at = child->mapTo(this, QPoint(0, 0));
    stops.push_back(child);
    places.push_back({at.x(), at.y(), child->width(), child->height()});
  }
  QWidget* previous = nullptr;
  for (const size_t index : ReadingOrder(places)) {
    if (previous != nullptr) setTabOrder(previous, stops[index]);
    previous = stops[index];
  }
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
