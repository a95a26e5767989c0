#include "ui_engine_qt/skin.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace tw::engine {
namespace {

const QColor kTitleTop(0x2f, 0x6f, 0xb3);
const QColor kTitleBottom(0x23, 0x57, 0x90);
const QColor kBorder(0x1c, 0x46, 0x73);
const QColor kBody(0xf3, 0xf5, 0xf8);

class CloseButton : public QAbstractButton {
 public:
  explicit CloseButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown()) {
      painter.fillRect(rect(), QColor(0xa8, 0x1d, 0x1d));
    } else if (underMouse()) {
      painter.fillRect(rect(), QColor(0xd9, 0x3a, 0x3a));
    }
    painter.setPen(QPen(Qt::white, 1.6));
    const QPointF c = QRectF(rect()).center();
    const qreal r = 5;
    painter.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
    painter.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
  }
  void enterEvent(QEnterEvent*) override { update(); }
  void leaveEvent(QEvent*) override { update(); }
};

}  // namespace

void DrawFocusMark(QPainter& painter, const QRectF& area) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(0x1a, 0x3f, 0x73), 1.5, Qt::DashLine));
  painter.setBrush(Qt::NoBrush);
  painter.drawRoundedRect(area, 4, 4);
  painter.restore();
}

Skin::Skin(QWidget* window) : window_(window), closeButton_(new CloseButton(window)) {
  closeButton_->resize(40, kTitleHeight - 2);
  QObject::connect(closeButton_, &QAbstractButton::clicked, window, [window] { window->close(); });
}

void Skin::Paint(const QPixmap& background) {
  QPainter painter(window_);
  const QRect all = window_->rect();
  painter.fillRect(all, kBody);
  if (!background.isNull()) painter.drawPixmap(all, background);

  const QRect title(0, 0, all.width(), kTitleHeight);
  QLinearGradient gradient(title.topLeft(), title.bottomLeft());
  gradient.setColorAt(0, kTitleTop);
  gradient.setColorAt(1, kTitleBottom);
  painter.fillRect(title, gradient);

  QFont font = painter.font();
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  const QRect textArea = title.adjusted(10, 0, -(closeButton_->width() + 8), 0);
  painter.drawText(
      textArea, Qt::AlignVCenter | Qt::AlignLeft,
      painter.fontMetrics().elidedText(window_->windowTitle(), Qt::ElideRight, textArea.width()));

  painter.setPen(kBorder);
  painter.drawRect(all.adjusted(0, 0, -1, -1));
}

void Skin::Resized() { closeButton_->move(window_->width() - closeButton_->width() - 1, 1); }

bool Skin::Press(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || event->position().y() >= kTitleHeight) return false;
  QWindow* handle = window_->windowHandle();
  if (handle != nullptr && handle->startSystemMove()) return true;
  dragging_ = true;
  dragOffset_ = event->globalPosition().toPoint() - window_->pos();
  return true;
}

void Skin::Move(QMouseEvent* event) {
  if (dragging_) window_->move(event->globalPosition().toPoint() - dragOffset_);
}

}  // namespace tw::engine
