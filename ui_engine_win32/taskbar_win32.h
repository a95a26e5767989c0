// The progress of the program's task on its window's taskbar button, where
// the user sees it while the window is covered or minimised.
#pragma once

#include <windows.h>

#include <cstdint>

namespace tw::engine {

// Shows `state` (a UiTaskState) with `position` of `maximum` on the taskbar
// button of `window`'s top-level window. UI thread only; a desktop without
// such a taskbar shows nothing.
void ShowTaskbarProgress(HWND window, int32_t state, int32_t position, int32_t maximum);

}  // namespace tw::engine
