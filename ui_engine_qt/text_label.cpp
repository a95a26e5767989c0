#include "ui_engine_qt/text_label.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui_engine_qt/accessibility.h"
#include "ui_engine_qt/face_box.h"
#include "ui_engine_qt/skin.h"
#include "ui_engine_qt/text_buffer.h"

namespace tw::engine {

TextLabel::TextLabel(QWidget* parent, bool caption, UiEventCallback callback, void* context)
    : QLabel(parent), Control(callback, context), caption_(caption) {
  // Paths and messages are shown as written, never read as markup.
  setTextFormat(Qt::PlainText);
  if (caption) {
    setAlignment(Qt::AlignCenter);
    QFont bigger = font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.15);
    bigger.setBold(true);
    setFont(bigger);
    setCursor(Qt::PointingHandCursor);
    // A button: reached with Tab, and focused by a click as buttons are.
    setFocusPolicy(Qt::StrongFocus);
  } else {
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  }
  ForgetEarlyInterface(this);
}

int32_t TextLabel::SetProperty(int32_t property, const UiValue& value) {
  if (property != UI_PROP_TEXT) return Control::SetProperty(property, value);
  setText(ReadText(value.text));
  AccessibilityChanged();
  // The face is named by its caption.
  if (auto* face = dynamic_cast<FaceBox*>(parentWidget()); face != nullptr && caption_) {
    face->CaptionChanged();
  }
  return 1;
}

int32_t TextLabel::GetProperty(int32_t property, UiValue* value) {
  if (property != UI_PROP_TEXT) return Control::GetProperty(property, value);
  value->text = NewTextBuffer(text());
  return 1;
}

void TextLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!hasFocus()) return;
  QPainter painter(this);
  DrawFocusMark(painter, QRectF(rect()).adjusted(4.5, 4.5, -4.5, -4.5));
}

void TextLabel::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const bool presses = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
  // The keypad's Enter counts as Enter; with Ctrl, Alt or Shift a key means something else.
  if (!caption_ || !presses || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
    QLabel::keyPressEvent(event);
    return;
  }
  // A key held down presses once, as a mouse button held down clicks once.
  if (!event->isAutoRepeat()) Press();
}

// Taking the press makes the release, and with it the click, come here.
void TextLabel::mousePressEvent(QMouseEvent* event) {
  event->setAccepted(event->button() == Qt::LeftButton);
}

void TextLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    Emit(UI_EVENT_CLICK);
  }
}

// A disabled control does not react to the pointer, so it reports no hover either.
void TextLabel::enterEvent(QEnterEvent*) {
  if (isEnabled()) Emit(UI_EVENT_HOVER, 1);
}

void TextLabel::leaveEvent(QEvent*) {
  if (isEnabled()) Emit(UI_EVENT_HOVER, 0);
}

}  // namespace tw::engine
