// The program's top-level window: fixed size, wearing the engine's skin.
#pragma once

#include <QPixmap>
#include <QWidget>

#include "ui_engine_qt/control.h"
#include "ui_engine_qt/skin.h"

namespace tw::engine {

class FrameWindow : public QWidget, public Control {
 public:
  FrameWindow(QWidget* owner, UiEventCallback callback, void* context);

  QObject* Object() override { return this; }
  QWidget* Widget() override { return this; }
  int32_t SetProperty(int32_t property, const UiValue& value) override;
  int32_t GetProperty(int32_t property, UiValue* value) override;

  // Shows the window; the first time, the program hears of its creation before.
  void ShowFrame();

 protected:
  void paintEvent(QPaintEvent*) override { skin_.Paint(background_); }
  void resizeEvent(QResizeEvent*) override { skin_.Resized(); }
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override { skin_.Move(event); }
  void mouseReleaseEvent(QMouseEvent*) override { skin_.Release(); }

 private:
  Skin skin_;
  QPixmap background_;
  bool created_ = false;
};

}  // namespace tw::engine
