// A label that reports clicks and the pointer entering and leaving it. Laid
// over a picture box it becomes that face's caption: centred, see-through,
// and a button to the keyboard and to screen readers.
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

  bool IsCaption() const { return caption_; }
  // What a click does; the keyboard and screen readers press the caption too.
  void Press() { Emit(UI_EVENT_CLICK); }

 protected:
  std::u16string ShownName() const override { return text().toStdU16String(); }
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  bool caption_;
};

}  // namespace tw::engine
