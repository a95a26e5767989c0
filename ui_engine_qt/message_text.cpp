#include "ui_engine_qt/message_text.h"

#include <QEvent>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <cmath>

namespace tw::engine {
namespace {

// The layout breaks lines only at line separators, whichever line ending the caller used.
QString WithLineSeparators(QString text) {
  text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
  text.replace(QChar('\r'), QChar::LineSeparator);
  text.replace(QChar('\n'), QChar::LineSeparator);
  return text;
}

}  // namespace

MessageText::MessageText(const QString& text, int maxWidth, QWidget* parent)
    : QWidget(parent), text_(WithLineSeparators(text)), maxWidth_(std::max(maxWidth, 1)) {
  // Read by layouts and scroll areas that size the widget by its height for a width.
  QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
  // Screen readers get the message although no label carries it.
  setAccessibleName(text);
}

int MessageText::LayOut(QTextLayout& layout, int width) const {
  layout.setFont(font());
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  qreal y = 0;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    line.setPosition(QPointF(0, y));
    y += line.height();
  }
  layout.endLayout();
  return static_cast<int>(std::ceil(y));
}

QSize MessageText::sizeHint() const {
  if (cachedHint_.isValid()) return cachedHint_;
  QTextLayout layout(text_);
  const int height = LayOut(layout, maxWidth_);
  qreal widest = 0;
  for (int i = 0; i < layout.lineCount(); ++i) {
    widest = std::max(widest, layout.lineAt(i).naturalTextWidth());
  }
  // Short texts ask only for what they need; the +1 keeps rounding from wrapping them.
  const int width = std::min(static_cast<int>(std::ceil(widest)) + 1, maxWidth_);
  cachedHint_ = QSize(width, width < maxWidth_ ? heightForWidth(width) : height);
  return cachedHint_;
}

QSize MessageText::minimumSizeHint() const {
  const int width = std::min(sizeHint().width(), fontMetrics().averageCharWidth() * 10);
  return {width, heightForWidth(width)};
}

int MessageText::heightForWidth(int width) const {
  width = std::max(width, 1);
  if (width != cachedWidth_) {
    QTextLayout layout(text_);
    cachedHeight_ = LayOut(layout, width);
    cachedWidth_ = width;
  }
  return cachedHeight_;
}

void MessageText::paintEvent(QPaintEvent*) {
  QTextLayout layout(text_);
  LayOut(layout, width());
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  layout.draw(&painter, QPointF(0, 0));
}

void MessageText::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    cachedWidth_ = -1;
    cachedHint_ = QSize();
    updateGeometry();
  }
  QWidget::changeEvent(event);
}

}  // namespace tw::engine
