#include "ui_engine_qt/text_label.h"

#include <QMouseEvent>

#include "ui_engine_qt/text_buffer.h"

namespace tw::engine {

TextLabel::TextLabel(QWidget* parent, bool caption, UiEventCallback callback, void* context)
    : QLabel(parent), Control(callback, context) {
  // Paths and messages are shown as written, never read as markup.
  setTextFormat(Qt::PlainText);
  if (caption) {
    setAlignment(Qt::AlignCenter);
    QFont bigger = font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.15);
    bigger.setBold(true);
    setFont(bigger);
    setCursor(Qt::PointingHandCursor);
  } else {
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  }
}

int32_t TextLabel::SetProperty(int32_t property, const UiValue& value) {
  if (property != UI_PROP_TEXT) return Control::SetProperty(property, value);
  setText(ReadText(value.text));
  return 1;
}

int32_t TextLabel::GetProperty(int32_t property, UiValue* value) {
  if (property != UI_PROP_TEXT) return Control::GetProperty(property, value);
  value->text = NewTextBuffer(text());
  return 1;
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
