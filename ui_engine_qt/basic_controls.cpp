#include "ui_engine_qt/basic_controls.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

#include "ui_engine_common/captions.h"
#include "ui_engine_qt/skin.h"

namespace tw::engine {

ProgressBar::ProgressBar(QWidget* parent, UiEventCallback callback, void* context)
    : QProgressBar(parent), ProgressProperties<Control>(callback, context) {
  setRange(0, 100);
  setValue(0);
  setTextVisible(false);
}

ToolBar::ToolBar(QWidget* parent, UiEventCallback callback, void* context)
    : QToolBar(parent), Control(callback, context) {
  setMovable(false);
  setFloatable(false);
  setToolButtonStyle(Qt::ToolButtonTextOnly);
}

int32_t ToolBar::InsertButton(int32_t position, const std::u16string& caption) {
  const QList<QAction*> existing = actions();
  auto* action = new QAction(QString::fromStdU16String(DoubleAmpersands(caption)), this);
  if (position < 0 || position >= existing.size()) {
    addAction(action);
  } else {
    insertAction(existing.at(position), action);
  }
  connect(action, &QAction::triggered, this, [this, action] {
    Emit(UI_EVENT_TOOLBAR, static_cast<int32_t>(actions().indexOf(action)));
  });
  if (QWidget* button = widgetForAction(action)) {
    // Tab reaches it; a click does not take the focus from where the user left it.
    button->setFocusPolicy(Qt::TabFocus);
    button->installEventFilter(this);
  }
  return static_cast<int32_t>(actions().indexOf(action));
}

bool ToolBar::eventFilter(QObject* watched, QEvent* event) {
  auto* button = dynamic_cast<QAbstractButton*>(watched);
  if (button == nullptr || button->parent() != this) return QToolBar::eventFilter(watched, event);
  if (event->type() == QEvent::KeyPress) {
    // Space presses a button by itself; Enter presses a dialog's default one, so here it is ours.
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      if (!key->isAutoRepeat()) button->click();
      return true;
    }
  } else if (event->type() == QEvent::Paint && button->hasFocus()) {
    // The button paints itself first (QWidget::event is protected, QObject's is not).
    static_cast<QObject*>(button)->event(event);
    QPainter painter(button);
    DrawFocusMark(painter, QRectF(button->rect()).adjusted(1.5, 1.5, -1.5, -1.5));
    return true;
  }
  return QToolBar::eventFilter(watched, event);
}

EngineTimer::EngineTimer(UiEventCallback callback, void* context)
    : QTimer(QCoreApplication::instance()), Control(callback, context) {
  connect(this, &QTimer::timeout, this, [this] { Emit(UI_EVENT_TIMER); });
}

void EngineTimer::SetIntervalMs(int32_t intervalMs) {
  if (intervalMs <= 0) {
    stop();
    return;
  }
  start(intervalMs);
}

}  // namespace tw::engine
