// What screen readers learn of the engine's windows through Microsoft Active
// Accessibility (and UI Automation, which reads it): each control's client
// area answers as the system's own object for the window would, but with the
// control's name, the role the system cannot know (a caption is a push
// button, a live label a status bar), what a named label shows as its
// description, and a caption pressed as a click; and what changes is told.
#pragma once

#include <windows.h>

namespace tw::engine {

// Posted to a caption a screen reader pressed: the press runs after the
// reader's call has returned, as a click runs after the mouse's.
constexpr UINT kPressFromScreenReader = WM_APP + 20;

// Answers WM_GETOBJECT for the client area of an engine control's window;
// false for any other object, which the system answers.
bool AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, LRESULT* result);

void TellNameChanged(HWND window);
void TellDescriptionChanged(HWND window);
// A live region's new text, for screen readers to read out.
void TellLiveRegionChanged(HWND window);
// A toolbar button (0-based) has the keyboard's focus.
void TellButtonFocused(HWND toolbar, int index);
// Marks `window` as a polite live region for UI Automation; where the system
// has no annotations (Wine) the role and the events still tell it.
void MarkLive(HWND window);

}  // namespace tw::engine
