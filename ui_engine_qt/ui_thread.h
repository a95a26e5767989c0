// Every engine call runs on the UI thread, the thread that started the engine.
// A call from another thread is queued to the UI thread and waits for it; a
// call from the UI thread runs at once, so the UI thread never waits on itself.
#pragma once

#include <functional>
#include <utility>

namespace tw::engine {

// Makes the calling thread the UI thread.
void BindUiThread();
bool IsBound();
bool OnUiThread();

// Runs `body` on the UI thread and returns once it has run (true), or without
// running it (false) when there is no UI thread or its message loop has ended.
bool RunOnUiThread(const std::function<void()>& body);

template <class Result, class Body>
Result CallOnUiThread(Result fallback, Body&& body) {
  Result result = std::move(fallback);
  RunOnUiThread([&] { result = body(); });
  return result;
}

// The message loop reports here, so that waiting callers are let go when it
// ends and nothing queued afterwards waits for a loop that no longer runs.
void SetLoopEnded(bool ended);

}  // namespace tw::engine
