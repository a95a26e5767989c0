// The engine's own boxes, in the window's skin and modal to it: the message
// box with the buttons the program names, and the input box.
#pragma once

#include <string>

namespace tw::engine {

// Buttons are the captions split at "&&"; returns the 0-based index of the
// one pressed, -1 when the box was closed (close button, Esc, loop ended).
int ShowMessageBox(const std::wstring& title, const std::wstring& message,
                   const std::wstring& captions);
// Returns the typed text; *dismissed says the box was closed without the button.
std::wstring ShowInputBox(const std::wstring& prompt, const std::wstring& buttonCaption,
                          bool* dismissed);

}  // namespace tw::engine
