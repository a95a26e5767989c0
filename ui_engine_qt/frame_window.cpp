#include "ui_engine_qt/frame_window.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "ui_engine_qt/text_buffer.h"

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
    setAttribute(Qt::WA_Hover);
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
    QPen pen(Qt::white, 1.6);
    painter.setPen(pen);
    const QPointF c = QRectF(rect()).center();
    const qreal r = 5;
    painter.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
    painter.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
  }
  void enterEvent(QEnterEvent*) override { update(); }
  void leaveEvent(QEvent*) override { update(); }
};

}  // namespace

FrameWindow::FrameWindow(QWidget* owner, UiEventCallback callback, void* context)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint),
      Control(callback, context),
      closeButton_(new CloseButton(this)) {
  closeButton_->resize(40, kTitleHeight - 2);
  connect(closeButton_, &QAbstractButton::clicked, this, [this] { close(); });
  setAttribute(Qt::WA_DeleteOnClose, false);
}

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

void FrameWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect all = rect();
  painter.fillRect(all, kBody);
  if (!background_.isNull()) painter.drawPixmap(all, background_);

  const QRect title(0, 0, width(), kTitleHeight);
  QLinearGradient gradient(title.topLeft(), title.bottomLeft());
  gradient.setColorAt(0, kTitleTop);
  gradient.setColorAt(1, kTitleBottom);
  painter.fillRect(title, gradient);

  QFont font = painter.font();
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  const QRect textArea = title.adjusted(10, 0, -48, 0);
  painter.drawText(
      textArea, Qt::AlignVCenter | Qt::AlignLeft,
      painter.fontMetrics().elidedText(windowTitle(), Qt::ElideRight, textArea.width()));

  painter.setPen(kBorder);
  painter.drawRect(all.adjusted(0, 0, -1, -1));
}

void FrameWindow::closeEvent(QCloseEvent* event) {
  // Whether closing the window ends the program is the program's decision.
  event->accept();
  Emit(UI_EVENT_CLOSED);
}

void FrameWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || event->position().y() >= kTitleHeight) {
    event->ignore();
    return;
  }
  QWindow* handle = windowHandle();
  if (handle != nullptr && handle->startSystemMove()) return;
  dragging_ = true;
  dragOffset_ = event->globalPosition().toPoint() - pos();
}

void FrameWindow::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) move(event->globalPosition().toPoint() - dragOffset_);
}

void FrameWindow::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

void FrameWindow::resizeEvent(QResizeEvent*) {
  closeButton_->move(width() - closeButton_->width() - 1, 1);
}

}  // namespace tw::engine
