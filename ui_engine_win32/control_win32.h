// What every engine control shares: its event callback, its property set, its
// handle and its window. Controls live on the UI thread only, as does the
// handle table.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "ui_engine_common/control_core.h"
#include "ui_engine_common/text_buffer.h"
#include "ui_engine_win32/dpi_win32.h"

namespace tw::engine {

HINSTANCE ModuleInstance();

class Control : public ControlCore {
 public:
  Control(UiEventCallback callback, void* context) : ControlCore(callback, context) {}

  HWND Window() const { return window_; }
  UiControl Handle() const { return handle_; }
  // The width of the window's client area, at 96 DPI as the program measures.
  int32_t ClientWidth() const;

  // Where the program put the control within its parent, at 96 DPI.
  void SetBasePlace(int left, int top, int width, int height);
  // The window has moved to a monitor of another DPI: the control takes its
  // place and size at the new one.
  virtual void DpiChanged(Dpi from, Dpi to);

  // Notifications a child control sends its parent window come back to the
  // control they are about.
  virtual LRESULT Command(WPARAM, LPARAM) { return 0; }
  virtual LRESULT Notify(NMHDR*) { return 0; }
  // A message to the window of a system class, before the class has it; true
  // in `handled` keeps it from the class.
  virtual LRESULT SystemMessage(UINT, WPARAM, LPARAM, bool* handled) {
    *handled = false;
    return 0;
  }

  // For screen readers: the role the system cannot tell from the window's
  // class (0 leaves the system's), whether the keyboard's focus stops here,
  // and whether pressing it is a click.
  virtual LONG AccessibleRole() const { return 0; }
  virtual bool TakesFocus() const { return false; }
  virtual bool Pressable() const { return false; }

  // Gives the control a handle; a control with a window is found through it
  // ("UiEngine_Control" on the window) and dies with it.
  void Attach(HWND window);

 protected:
  // Screen readers are told of a new name; a control whose window shows no
  // text of its own carries the name as its window text, where tools and the
  // system's own accessibility look for it.
  void AccessibilityChanged() override;
  virtual bool ShowsWindowText() const { return false; }

 private:
  HWND window_ = nullptr;
  UiControl handle_ = 0;
  RECT basePlace_{};
};

// A control whose window class is the engine's own: its messages come to WindowMessage.
class OwnWindowControl : public Control {
 public:
  using Control::Control;

  // Creates the window of `className` (registered on first use) and attaches it.
  bool CreateOwn(const wchar_t* className, DWORD style, DWORD exStyle, int left, int top, int width,
                 int height, HWND parent);

 protected:
  // Child notifications, the end of the window and anything not handled here
  // are taken care of by the caller.
  virtual LRESULT WindowMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// A control over a window of a system class: the window's end frees it, and
// its messages reach the control's SystemMessage first.
void WatchSystemWindow(HWND window);

// Enabled, and so is every window it sits in: a caption in a disabled face
// takes no input, though its own window is not disabled.
bool EnabledWithin(HWND window);

// Null for 0, unknown or destroyed handles.
Control* FindControl(UiControl handle);
Control* ControlOfWindow(HWND window);
HWND FindWindowOf(UiControl handle);
template <class T>
T* FindAs(UiControl handle) {
  return dynamic_cast<T*>(FindControl(handle));
}
// Forgets a control and deletes it; its window, if any, is already gone.
void Forget(Control* control);
// Forgets the controls of `window` and the windows inside it, which stay
// until the window is destroyed.
void ForgetTree(HWND window);

// What every control's window answers alike, whatever its class: screen
// readers' questions; and its program window notes where the focus went.
// True when `answer` is the message's.
bool AnswerAlike(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* answer);

// The window procedure of every window class the engine registers: it routes
// child notifications and frees the control when its window goes.
LRESULT ForwardChildMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool* handled);
void ControlWindowDestroyed(HWND window);

// Timers have no window; the message window's WM_TIMER reaches them here.
void TimerTicked(UiControl handle);

// Texts: the system's wide texts hold the same code units as the shared code's.
inline std::wstring Wide(std::u16string_view text) {
  return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}
inline std::u16string Units(std::wstring_view text) {
  return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}
std::wstring WindowText(HWND window);

// The program's texts are Chinese: Microsoft YaHei, else SimSun, in pixels of
// the DPI they are drawn at. The fonts live as long as the engine.
HFONT UiFont(Dpi dpi);
HFONT CaptionFont(Dpi dpi);
void UseFont(HWND window, HFONT font);

}  // namespace tw::engine
