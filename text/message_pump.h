// Lets long blocking work keep the window painted. The UI engine binding
// installs the engine's pump and names the UI thread; on any other thread, or
// before a pump is installed, ProcessPendingMessages does nothing.
#pragma once

namespace tw {

using MessagePump = void (*)();

// Installs `pump` for the calling thread, which becomes the UI thread.
void InstallMessagePump(MessagePump pump);
void RemoveMessagePump();

bool IsUiThread();

// Runs every window message already queued for the UI thread, then returns.
void ProcessPendingMessages();

}  // namespace tw
