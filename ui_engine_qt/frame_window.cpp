#include "ui_engine_qt/frame_window.h"

#include <QCloseEvent>
#include <QMouseEvent>

#include "ui_engine_qt/text_buffer.h"

namespace tw::engine {

FrameWindow::FrameWindow(QWidget* owner, UiEventCallback callback, void* context)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint),
      Control(callback, context),
      skin_(this) {}

int32_t FrameWindow::SetProperty(int32_t property, const UiValue& value) {
  switch (property) {
    case UI_PROP_TEXT:
      setWindowTitle(ReadText(value.text));
      update();
      return 1;
    case UI_PROP_BACKGROUND: {
      // Data the engine cannot decode leaves the plain skin, like no data at all.
      QPixmap image;
      const QByteArray bytes = ReadBytes(value.text);
      if (!bytes.isEmpty()) image.loadFromData(bytes);
      background_ = image;
      update();
      return 1;
    }
    default:
      return Control::SetProperty(property, value);
  }
}

int32_t FrameWindow::GetProperty(int32_t property, UiValue* value) {
  switch (property) {
    case UI_PROP_TEXT:
      value->text = NewTextBuffer(windowTitle());
      return 1;
    case UI_PROP_CLIENT_WIDTH:
      value->number = width();
      return 1;
    default:
      return Control::GetProperty(property, value);
  }
}

void FrameWindow::ShowFrame() {
  if (!created_) {
    created_ = true;
    Emit(UI_EVENT_CREATED);
  }
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
