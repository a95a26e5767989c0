// The controls the common controls library draws: the progress bar (which
// also shows its task on the taskbar button) and the toolbar; and the timer,
// which has no window.
#pragma once

#include <string>

#include "ui_engine_common/control_roles.h"
#include "ui_engine_common/progress_rules.h"
#include "ui_engine_win32/control_win32.h"

namespace tw::engine {

// Registers the common control classes and activates their themed version
// for the UI thread.
void StartCommonControls();

class ProgressBar : public ProgressProperties<Control> {
 public:
  using ProgressProperties<Control>::ProgressProperties;
  bool Create(HWND parent, int left, int top, int width, int height);

 protected:
  int32_t Position() const override;
  void SetPosition(int32_t position) override;
  int32_t Maximum() const override;
  void SetMaximum(int32_t maximum) override;
  void TaskStateChanged() override;

 private:
  // The bar's colour and the taskbar button follow the task.
  void ShowTask();
};

// Each button is a stop of the keyboard's focus, which the toolbar window
// holds while one of its buttons has it; the toolbar marks that button.
class ToolBar : public Control, public ToolBarRole {
 public:
  using Control::Control;
  bool Create(HWND parent, int left, int top, int width, int height);
  int32_t InsertButton(int32_t position, const std::u16string& caption) override;
  LRESULT Command(WPARAM wParam, LPARAM lParam) override;
  LRESULT Notify(NMHDR* header) override;
  LRESULT SystemMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;

  int ButtonCount() const;
  RECT ButtonArea(int index) const;  // within the toolbar
  bool ButtonEnabled(int index) const;
  // The button the focus is on while the toolbar has it; -1 for none.
  int FocusedButton() const { return GetFocus() == Window() ? focusedButton_ : -1; }
  void FocusButton(int index);
  // Enter or Space on the focused button: its click.
  void PressFocusedButton();
  void DpiChanged(Dpi from, Dpi to) override;

 private:
  void Repaint();

  int nextCommand_ = 100;
  int focusedButton_ = -1;
};

class EngineTimer : public Control, public TimerRole {
 public:
  using Control::Control;
  ~EngineTimer() override;
  void SetIntervalMs(int32_t intervalMs) override;
  void Tick() { Emit(UI_EVENT_TIMER); }
};

}  // namespace tw::engine
