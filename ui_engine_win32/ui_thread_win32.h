// Every engine call runs on the UI thread, the thread that started the engine.
// A call from another thread is queued to the engine's hidden message window
// and waits for it; a call from the UI thread runs at once, so the UI thread
// never waits on itself. Modal boxes pump the same queue, so calls keep
// arriving while a box is open.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <utility>

namespace tw::engine {

// Makes the calling thread the UI thread and creates the message window;
// false when the desktop gives the engine no window.
bool StartUiThread();
bool OnUiThread();
// The hidden window that receives queued calls, timers and late destructions.
HWND MessageWindow();

// Runs `body` on the UI thread and returns once it has run (true), or without
// running it (false) when there is no UI thread or its message loop has ended.
bool RunOnUiThread(const std::function<void()>& body);

template <class Result, class Body>
Result CallOnUiThread(Result fallback, Body&& body) {
  Result result = std::move(fallback);
  RunOnUiThread([&] { result = body(); });
  return result;
}

// Destroys `window` once the current message has been handled.
void DestroyLater(HWND window);

int32_t RunLoop();
void QuitLoop(int32_t code);
// Dispatches what is queued for the UI thread; a quit request stays queued.
void ProcessQueued();

}  // namespace tw::engine
