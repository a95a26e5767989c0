// The keyboard in the program's window. Its stops are each toolbar button,
// each caption laid over a face and the list: Tab and Shift+Tab take the
// focus through them in reading order, Enter or Space presses a focused button
// as a click does. The engine's boxes keep the system's dialog keys.
#pragma once

#include <windows.h>

namespace tw::engine {

// Takes a key message of the UI thread's queue before it is dispatched: true
// when it was the program window's own and has been handled.
bool HandleWindowKey(const MSG& message);

// `window` took the focus: its program window notes it, to give it back when
// the window is active again.
void RememberFocus(HWND window);
// The program window `frame` is active (again): the focus goes back to where
// it was, else to the first stop.
void RestoreFocus(HWND frame);
// `focused` had the focus when it or a window it sits in was disabled: the
// next stop that takes input has it now, as Tab would give it.
void HandFocusOn(HWND focused);

}  // namespace tw::engine
