// The simple controls: progress bar, toolbar and timer.
#pragma once

#include <QProgressBar>
#include <QTimer>
#include <QToolBar>

#include "ui_engine_common/control_roles.h"
#include "ui_engine_common/progress_rules.h"
#include "ui_engine_qt/control.h"

namespace tw::engine {

class ProgressBar : public QProgressBar, public ProgressProperties<Control> {
 public:
  ProgressBar(QWidget* parent, UiEventCallback callback, void* context);

  QObject* Object() override { return this; }
  QWidget* Widget() override { return this; }

 protected:
  int32_t Position() const override { return value(); }
  void SetPosition(int32_t position) override { setValue(position); }
  int32_t Maximum() const override { return maximum(); }
  void SetMaximum(int32_t top) override { setMaximum(top); }
};

// A click on a button reports the button's 0-based index at the time of the
// click. Each button is a stop of the keyboard's focus, pressed with Enter or
// Space as a click presses it.
class ToolBar : public QToolBar, public Control, public ToolBarRole {
 public:
  ToolBar(QWidget* parent, UiEventCallback callback, void* context);

  QObject* Object() override { return this; }
  QWidget* Widget() override { return this; }
  int32_t InsertButton(int32_t position, const std::u16string& caption) override;

 protected:
  // The buttons' Enter and their focus mark.
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// Ticks with UI_EVENT_TIMER; an interval of 0 or less stops it.
class EngineTimer : public QTimer, public Control, public TimerRole {
 public:
  EngineTimer(UiEventCallback callback, void* context);

  QObject* Object() override { return this; }
  void SetIntervalMs(int32_t intervalMs) override;
};

}  // namespace tw::engine
