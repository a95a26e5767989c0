// The simple controls: progress bar, toolbar and timer.
#pragma once

#include <QProgressBar>
#include <QTimer>
#include <QToolBar>

#include "ui_engine_qt/control.h"

namespace tw::engine {

class ProgressBar : public QProgressBar, public Control {
 public:
  ProgressBar(QWidget* parent, UiEventCallback callback, void* context);

  QObject* Object() override { return this; }
  QWidget* Widget() override { return this; }
  int32_t SetProperty(int32_t property, const UiValue& value) override;
  int32_t GetProperty(int32_t property, UiValue* value) override;
};

// A click on a button reports the button's 0-based index at the time of the click.
class ToolBar : public QToolBar, public Control {
 public:
  ToolBar(QWidget* parent, UiEventCallback callback, void* context);

  QObject* Object() override { return this; }
  QWidget* Widget() override { return this; }

  // position -1 (or past the end) appends; returns the new button's index.
  int32_t InsertButton(int32_t position, const QString& caption);
};

// Ticks with UI_EVENT_TIMER; an interval of 0 or less stops it.
class EngineTimer : public QTimer, public Control {
 public:
  EngineTimer(UiEventCallback callback, void* context);

  QObject* Object() override { return this; }
  void SetIntervalMs(int32_t intervalMs);
};

}  // namespace tw::engine
