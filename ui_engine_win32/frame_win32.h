// The program's window: a frameless top-level window with the engine's own
// skin (title bar, close button, border). Closing it is only reported; whether
// that ends the program is the program's decision.
#pragma once

#include <string>

#include "ui_engine_common/frame_rules.h"
#include "ui_engine_win32/control_win32.h"

namespace tw::engine {

class FrameWindow : public FrameProperties<OwnWindowControl> {
 public:
  using FrameProperties<OwnWindowControl>::FrameProperties;
  // Place and size at 96 DPI; the window opens at its monitor's.
  bool Create(HWND owner, int left, int top, int width, int height);

  // What the window and every control in it are drawn at.
  Dpi WindowDpi() const { return dpi_; }

  void SetBusy(bool busy);
  bool Busy() const { return busy_; }

 protected:
  LRESULT WindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  std::u16string Title() const override { return Units(title_); }
  void SetTitle(const std::u16string& title) override;
  void SetBackground(std::string_view bytes) override;
  int32_t FrameClientWidth() const override { return ClientWidth(); }
  void ShowNow() override;

 private:
  void SetCloseHot(bool hot);
  void MoveToDpi(Dpi dpi, const RECT& suggested);

  Dpi dpi_;
  std::wstring title_;
  std::string background_;
  bool busy_ = false;
  bool closeHot_ = false;
  bool closePressed_ = false;
};

// The window the program shows, for boxes to be modal to; null when none shows.
HWND ShownFrame();
// The busy pointer while the frame of `window` is busy.
bool ShowBusyCursor(HWND window);
// The DPI `window` is drawn at: its program window's, or the system's for a
// window of no program window.
Dpi DpiOf(HWND window);

}  // namespace tw::engine
