// The program's top-level window: fixed size, wearing the engine's skin. Tab
// takes the focus through its controls in reading order.
#pragma once

#include <QPixmap>
#include <QWidget>

#include "ui_engine_common/frame_rules.h"
#include "ui_engine_qt/control.h"
#include "ui_engine_qt/skin.h"

namespace tw::engine {

class FrameWindow : public QWidget, public FrameProperties<Control> {
 public:
  FrameWindow(QWidget* owner, UiEventCallback callback, void* context);

  QObject* Object() override { return this; }
  QWidget* Widget() override { return this; }

 protected:
  std::u16string Title() const override { return windowTitle().toStdU16String(); }
  void SetTitle(const std::u16string& title) override;
  void SetBackground(std::string_view bytes) override;
  int32_t FrameClientWidth() const override { return width(); }
  void ShowNow() override;

  void paintEvent(QPaintEvent*) override { skin_.Paint(background_); }
  void resizeEvent(QResizeEvent*) override { skin_.Resized(); }
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override { skin_.Move(event); }
  void mouseReleaseEvent(QMouseEvent*) override { skin_.Release(); }

 private:
  void OrderFocus();

  Skin skin_;
  QPixmap background_;
};

}  // namespace tw::engine
