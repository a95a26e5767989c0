// Every engine call runs on the UI thread, the thread that started the engine.
// A call from another thread is queued to the UI thread and waits for it; a
// call from the UI thread runs at once, so the UI thread never waits on itself.
// RunOnUiThread and CallOnUiThread are declared with the shared engine hooks.
#pragma once

#include "ui_engine_common/engine_hooks.h"

namespace tw::engine {

// Makes the calling thread the UI thread.
void BindUiThread();
bool IsBound();
bool OnUiThread();

// The message loop reports here, so that waiting callers are let go when it
// ends and nothing queued afterwards waits for a loop that no longer runs.
void SetLoopEnded(bool ended);

}  // namespace tw::engine
