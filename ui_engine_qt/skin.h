// The engine's own window skin: a title bar with the title and a close
// button, a body colour and a border. The program's window and the engine's
// boxes wear it, so they look alike with or without a window manager.
#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <QPoint>
#include <QWidget>

class QMouseEvent;
class QPainter;

namespace tw::engine {

// The mark of the control the keyboard's focus is on, within `area`: dashed,
// so it does not pass for the hover highlight's solid border.
void DrawFocusMark(QPainter& painter, const QRectF& area);

class Skin {
 public:
  static constexpr int kTitleHeight = 30;

  // `window` gets a close button that closes it.
  explicit Skin(QWidget* window);

  void Paint(const QPixmap& background = {});
  // Keeps the close button in the top-right corner.
  void Resized();

  // Dragging the title bar moves the window. Press returns false for presses
  // elsewhere, which the window then leaves to others.
  bool Press(QMouseEvent* event);
  void Move(QMouseEvent* event);
  void Release() { dragging_ = false; }

 private:
  QWidget* window_;
  QAbstractButton* closeButton_;
  bool dragging_ = false;
  QPoint dragOffset_;
};

}  // namespace tw::engine
