// The program's top-level window: a fixed-size frame the engine draws itself
// (title bar, title, close button, border), so it looks the same with or
// without a window manager.
#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <QPoint>
#include <QWidget>

#include "ui_engine_qt/control.h"

namespace tw::engine {

class FrameWindow : public QWidget, public Control {
 public:
  static constexpr int kTitleHeight = 30;

  FrameWindow(QWidget* owner, UiEventCallback callback, void* context);

  QObject* Object() override { return this; }
  QWidget* Widget() override { return this; }
  int32_t SetProperty(int32_t property, const UiValue& value) override;
  int32_t GetProperty(int32_t property, UiValue* value) override;

  // Shows the window; the first time, the program hears of its creation before.
  void ShowFrame();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QAbstractButton* closeButton_;
  QPixmap background_;
  bool created_ = false;
  bool dragging_ = false;
  QPoint dragOffset_;
};

}  // namespace tw::engine
