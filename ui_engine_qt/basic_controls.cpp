#include "ui_engine_qt/basic_controls.h"

#include <QAction>
#include <QCoreApplication>
#include <algorithm>

#include "ui_engine_common/captions.h"

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
  return static_cast<int32_t>(actions().indexOf(action));
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
