// What each engine defines for the code it shares with the others.
#pragma once

#include <functional>
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

}  // namespace tw::engine
