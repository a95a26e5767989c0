#include "ui_engine_qt/face_box.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "ui_engine_qt/text_buffer.h"
#include "ui_engine_qt/text_label.h"

namespace tw::engine {
namespace {

struct FaceColors {
  QColor top, bottom, border;
};

const FaceColors kRest{QColor(0xfe, 0xfe, 0xff), QColor(0xdd, 0xe3, 0xeb),
                       QColor(0x96, 0xa3, 0xb5)};
const FaceColors kHighlight{QColor(0xe6, 0xf2, 0xff), QColor(0x9c, 0xc8, 0xff),
                            QColor(0x1f, 0x6f, 0xd6)};
const FaceColors kDisabled{QColor(0xee, 0xee, 0xee), QColor(0xe2, 0xe2, 0xe2),
                           QColor(0xbb, 0xbb, 0xbb)};

QColor Blend(const QColor& from, const QColor& to, double share) {
  auto mix = [share](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * share)); };
  return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()),
                mix(from.blue(), to.blue()));
}

}  // namespace

FaceBox::FaceBox(QWidget* parent, UiEventCallback callback, void* context)
    : QWidget(parent), Control(callback, context) {}

int32_t FaceBox::SetProperty(int32_t property, const UiValue& value) {
  if (property != UI_PROP_BACKGROUND) return Control::SetProperty(property, value);
  QPixmap image;
  const std::string_view bytes = ReadByteView(value.text);
  if (!bytes.empty()) {
    image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                       static_cast<uint>(bytes.size()));
  }
  image_ = image;
  update();
  return 1;
}

std::u16string FaceBox::ShownName() const {
  for (const QObject* child : children()) {
    if (const auto* caption = dynamic_cast<const TextLabel*>(child)) {
      return caption->text().toStdU16String();
    }
  }
  return {};
}

double FaceBox::HighlightShare() const {
  return std::clamp(HoverLevel(), 0, kFullHighlight) / static_cast<double>(kFullHighlight);
}

void FaceBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const double share = isEnabled() ? HighlightShare() : 0.0;
  FaceColors colors = kDisabled;
  if (isEnabled()) {
    colors = {Blend(kRest.top, kHighlight.top, share),
              Blend(kRest.bottom, kHighlight.bottom, share),
              Blend(kRest.border, kHighlight.border, share)};
  }
  const QRectF face = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
  QPainterPath outline;
  outline.addRoundedRect(face, 7, 7);

  if (!image_.isNull()) {
    painter.setClipPath(outline);
    painter.drawPixmap(rect(), image_);
    painter.fillPath(outline, QColor(0x4a, 0x96, 0xff, static_cast<int>(90 * share)));
    painter.setClipping(false);
  } else {
    QLinearGradient gradient(face.topLeft(), face.bottomLeft());
    gradient.setColorAt(0, colors.top);
    gradient.setColorAt(1, colors.bottom);
    painter.fillPath(outline, gradient);
  }
  // The border thickens with the highlight so the level stays visible on any image.
  painter.setPen(QPen(colors.border, 1.0 + share * 1.5));
  painter.drawPath(outline);
}

// Taking the press makes the release, and with it the click, come here.
void FaceBox::mousePressEvent(QMouseEvent* event) {
  event->setAccepted(event->button() == Qt::LeftButton);
}

void FaceBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    Emit(UI_EVENT_CLICK);
  }
}

void FaceBox::enterEvent(QEnterEvent*) {
  if (isEnabled()) Emit(UI_EVENT_HOVER, 1);
}

void FaceBox::leaveEvent(QEvent*) {
  if (isEnabled()) Emit(UI_EVENT_HOVER, 0);
}

}  // namespace tw::engine
