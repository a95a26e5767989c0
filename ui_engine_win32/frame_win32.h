// The program's window: a frameless top-level window with the engine's own
// skin (title bar, close button, border). Closing it is only reported; whether
// that ends the program is the program's decision.
#pragma once

#include <string>

#include "ui_engine_win32/control_win32.h"

namespace tw::engine {

class FrameWindow : public OwnWindowControl {
 public:
  FrameWindow(UiEventCallback callback, void* context) : OwnWindowControl(callback, context) {}
  bool Create(HWND owner, int left, int top, int width, int height);

  int32_t SetProperty(int32_t property, const UiValue& value) override;
  int32_t GetProperty(int32_t property, UiValue* value) override;

  // Raises UI_EVENT_CREATED before the window first shows.
  void ShowFrame();
  void SetBusy(bool busy);
  bool Busy() const { return busy_; }

 protected:
  LRESULT WindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void SetCloseHot(bool hot);

  std::wstring title_;
  std::string background_;
  bool created_ = false;
  bool busy_ = false;
  bool closeHot_ = false;
  bool closePressed_ = false;
};

// The window the program shows, for boxes to be modal to; null when none shows.
HWND ShownFrame();
// The busy pointer while the frame of `window` is busy.
bool ShowBusyCursor(HWND window);

}  // namespace tw::engine
