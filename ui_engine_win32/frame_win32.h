// The program's window: a frameless top-level window with the engine's own
// skin (title bar, close button, border). Closing it is only reported; whether
// that ends the program is the program's decision. Active, it gives the
// keyboard to the control that last had it, else to its first stop.
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

  // The control that last had the keyboard's focus in the window.
  void NoteFocus(HWND window) { lastFocus_ = window; }
  HWND LastFocus() const { return lastFocus_; }

 protected:
  LRESULT WindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  std::u16string Title() const override { return Units(title_); }
  void SetTitle(const std::u16string& title) override;
  void SetBackground(std::string_view bytes) override;
  int32_t FrameClientWidth() const override { return ClientWidth(); }
  void ShowNow() override;
  bool ShowsWindowText() const override { return true; }

 private:
  void SetCloseHot(bool hot);
  void MoveToDpi(Dpi dpi, const RECT& suggested);

  Dpi dpi_;
  std::wstring title_;
  std::string background_;
  bool busy_ = false;
  bool closeHot_ = false;
  bool closePressed_ = false;
  HWND lastFocus_ = nullptr;
};

// The window the program shows, for boxes to be modal to; null when none shows.
HWND ShownFrame();
// The busy pointer while the frame of `window` is busy.
bool ShowBusyCursor(HWND window);
// The DPI `window` is drawn at: its program window's, or the system's for a
// window of no program window.
Dpi DpiOf(HWND window);

}  // namespace tw::engine
