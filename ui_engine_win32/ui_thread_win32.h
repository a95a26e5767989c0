// Every engine call runs on the UI thread, the thread that started the engine.
// A call from another thread is queued to the engine's hidden message window
// and waits for it; a call from the UI thread runs at once, so the UI thread
// never waits on itself. Modal boxes pump the same queue, so calls keep
// arriving while a box is open. RunOnUiThread and CallOnUiThread are declared
// with the shared engine hooks.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui_engine_common/engine_hooks.h"

namespace tw::engine {

// Makes the calling thread the UI thread and creates the message window;
// false when the desktop gives the engine no window.
bool StartUiThread();
bool OnUiThread();
// The hidden window that receives queued calls, timers and late destructions.
HWND MessageWindow();

// Destroys `window` once the current message has been handled.
void DestroyLater(HWND window);

int32_t RunLoop();
void QuitLoop(int32_t code);
// Dispatches what is queued for the UI thread; a quit request stays queued.
void ProcessQueued();

}  // namespace tw::engine
