// A picture box drawn as a button face. Its look follows the hover level:
// 0 is the face at rest, 8 the full highlight, in between a blend of the two.
// Screen readers call it by the caption laid over it.
#pragma once

#include <QPixmap>
#include <QWidget>

#include "ui_engine_qt/control.h"

namespace tw::engine {

class FaceBox : public QWidget, public Control {
 public:
  static constexpr int kFullHighlight = 8;

  FaceBox(QWidget* parent, UiEventCallback callback, void* context);

  QObject* Object() override { return this; }
  QWidget* Widget() override { return this; }
  int32_t SetProperty(int32_t property, const UiValue& value) override;

  // How far the face is highlighted, 0..1, whatever level was stored.
  double HighlightShare() const;
  // The face is named by its caption, so its name follows the caption's text.
  void CaptionChanged() { AccessibilityChanged(); }

 protected:
  void HoverLevelChanged() override { update(); }
  std::u16string ShownName() const override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QPixmap image_;
};

}  // namespace tw::engine
