// Keeps the computer from going to sleep while a download runs: a sleep cuts
// the connection, and on a server without ranges that costs the whole file.
//
// A download thread holds one for the life of its download, so it is let go
// however the download ends: complete, failed or stopped. At the program's
// exit the system lets go of it with the process.
//
// Best effort: where the system gives no way to hold it (no system bus, no
// login manager, a refusal), nothing is held and the download runs as before.
// Taking it waits at most kTakeLimitMs. The hold is the system's: a sleep
// inhibitor of the login manager over D-Bus on Linux (keep_awake_posix.cpp),
// SetThreadExecutionState on Windows (keep_awake_win32.cpp), which ties it to
// the thread: take and let go on the same thread.
#pragma once

#include <cstdint>

namespace tw {

class KeepAwake {
 public:
  static constexpr int32_t kTakeLimitMs = 1000;

  KeepAwake();
  ~KeepAwake();
  KeepAwake(const KeepAwake&) = delete;
  KeepAwake& operator=(const KeepAwake&) = delete;

  bool Held() const { return held_ != kNotHeld; }

 private:
  static constexpr intptr_t kNotHeld = -1;
  // The inhibitor's file descriptor on Linux; 1 on Windows once set.
  intptr_t held_ = kNotHeld;
};

}  // namespace tw
