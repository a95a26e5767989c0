#include "ui_engine_qt/basic_controls.h"

#include <QAction>
#include <QCoreApplication>
#include <algorithm>

namespace tw::engine {
namespace {

int ToInt(int64_t number) {
  return static_cast<int>(std::clamp<int64_t>(number, INT32_MIN, INT32_MAX));
}

}  // namespace

ProgressBar::ProgressBar(QWidget* parent, UiEventCallback callback, void* context)
    : QProgressBar(parent), Control(callback, context) {
  setRange(0, 100);
  setValue(0);
  setTextVisible(false);
}

int32_t ProgressBar::SetProperty(int32_t property, const UiValue& value) {
  switch (property) {
    case UI_PROP_VALUE:
      // Out-of-range positions show as the nearest end rather than being dropped.
      setValue(std::clamp(ToInt(value.number), minimum(), maximum()));
      return 1;
    case UI_PROP_RANGE_MAX: {
      const int top = std::max(ToInt(value.number), 1);
      setMaximum(top);
      return 1;
    }
    default:
      return Control::SetProperty(property, value);
  }
}

int32_t ProgressBar::GetProperty(int32_t property, UiValue* value) {
  switch (property) {
    case UI_PROP_VALUE:
      value->number = this->value();
      return 1;
    case UI_PROP_RANGE_MAX:
      value->number = maximum();
      return 1;
    default:
      return Control::GetProperty(property, value);
  }
}

ToolBar::ToolBar(QWidget* parent, UiEventCallback callback, void* context)
    : QToolBar(parent), Control(callback, context) {
  setMovable(false);
  setFloatable(false);
  setToolButtonStyle(Qt::ToolButtonTextOnly);
}

int32_t ToolBar::InsertButton(int32_t position, const QString& caption) {
  const QList<QAction*> existing = actions();
  // "&" would otherwise mark a shortcut letter and vanish from the caption.
  auto* action = new QAction(QString(caption).replace('&', "&&"), this);
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
