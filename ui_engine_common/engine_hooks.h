// What each engine defines for the code it shares with the others.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "ui_engine/engine_abi.h"

namespace tw::engine {

class ControlCore;

enum class ControlKind { Window, Label, PictureBox, ProgressBar, Toolbar, ListView };

// The CreateControl_* exports, with the kind they name.
UiControl CreateControl(ControlKind kind, UiControl parent, int32_t left, int32_t top,
                        int32_t width, int32_t height, UiEventCallback callback, void* context);

// Runs `body` on the UI thread and returns once it has run (true), or without
// running it (false) when there is no UI thread or its message loop has ended.
bool RunOnUiThread(const std::function<void()>& body);

template <class Result, class Body>
Result CallOnUiThread(Result fallback, Body&& body) {
  Result result = std::move(fallback);
  RunOnUiThread([&] { result = body(); });
  return result;
}

// For ui_thread_exports.cpp, from the engines whose controls live on a real UI
// thread. The loop runs until QuitLoop; ProcessQueued handles what is already
// queued, posted calls from other threads included.
bool OnUiThread();
int32_t RunLoop();
void QuitLoop(int32_t code);
void ProcessQueued();
// Null for 0, unknown or destroyed handles.
ControlCore* FindControlCore(UiControl handle);

// The boxes, modal to the program's window; each runs on the UI thread and
// returns when it is closed. Buttons are `captions` split at "&&", in order:
// the 0-based index of the one pressed, -1 when the box was closed without one.
int ShowMessageBox(const std::u16string& title, const std::u16string& message,
                   const std::u16string& captions);
// One edit and one button; `dismissed` says the box was closed without the
// button (Enter in the edit presses it).
std::u16string ShowInputBox(const std::u16string& prompt, const std::u16string& buttonCaption,
                            bool* dismissed);
// The desktop's plain information box with an OK button.
void ShowSystemMessageBox(const std::u16string& title, const std::u16string& message);
// Empty when cancelled. Starts in `initialFolder` where it can; without
// `editBox` a folder can only be picked, not typed.
std::u16string ShowFolderBrowser(const std::u16string& title, const std::u16string& initialFolder,
                                 bool editBox);
// The user's documents folder, empty when there is none; any thread may ask.
std::u16string DocumentsFolder();

}  // namespace tw::engine
