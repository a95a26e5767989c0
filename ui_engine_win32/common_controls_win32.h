// The controls the common controls library draws: the progress bar and the
// toolbar; and the timer, which has no window.
#pragma once

#include <string>

#include "ui_engine_win32/control_win32.h"

namespace tw::engine {

// Registers the common control classes and activates their themed version
// for the UI thread.
void StartCommonControls();

class ProgressBar : public Control {
 public:
  using Control::Control;
  bool Create(HWND parent, int left, int top, int width, int height);
  int32_t SetProperty(int32_t property, const UiValue& value) override;
  int32_t GetProperty(int32_t property, UiValue* value) override;
};

class ToolBar : public Control {
 public:
  using Control::Control;
  bool Create(HWND parent, int left, int top, int width, int height);
  int32_t InsertButton(int32_t position, const std::wstring& caption);
  LRESULT Command(WPARAM wParam, LPARAM lParam) override;

 private:
  int nextCommand_ = 100;
};

class EngineTimer : public Control {
 public:
  using Control::Control;
  ~EngineTimer() override;
  void SetIntervalMs(int32_t intervalMs);
  void Tick() { Emit(UI_EVENT_TIMER); }
};

}  // namespace tw::engine
