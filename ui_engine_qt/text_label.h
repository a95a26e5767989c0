// A label that reports clicks and the pointer entering and leaving it. Laid
// over a picture box it becomes that face's caption: centred, see-through.
#pragma once

#include <QLabel>

#include "ui_engine_qt/control.h"

namespace tw::engine {

class TextLabel : public QLabel, public Control {
 public:
  TextLabel(QWidget* parent, bool caption, UiEventCallback callback, void* context);

  QObject* Object() override { return this; }
  QWidget* Widget() override { return this; }
  int32_t SetProperty(int32_t property, const UiValue& value) override;
  int32_t GetProperty(int32_t property, UiValue* value) override;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
};

}  // namespace tw::engine
