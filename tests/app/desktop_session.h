// One run of the real program with its real engine on an X display, used as
// a user without a mouse uses it: keys sent through the display, windows
// found by their titles, the outcome read from the disk. The native program
// runs with the Qt engine; built with TW_WINE_PATH, the Windows program runs
// under Wine with the Win32 engine beside it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/standin.h"
#include "tests/support/temp_folder.h"

namespace tw::testing {

class DesktopSession {
 public:
  DesktopSession();
  ~DesktopSession();
  DesktopSession(const DesktopSession&) = delete;
  DesktopSession& operator=(const DesktopSession&) = delete;

  // Starts the program pointed at the stand-in, whose certificate it trusts.
  void Start(const Standin& standin);
  // Ends it as a session manager would; its exit code, -1 when it did not end.
  int Stop();

  // Until a window with this title shows (or, with `shown` false, none does).
  ::testing::AssertionResult WaitForWindow(const std::string& title,
                                           std::chrono::milliseconds limit, bool shown = true);
  // Keys as xdotool names them ("Tab", "Return"), one after another, to
  // whichever window has the keyboard.
  void Keys(const std::vector<std::string>& keys);
  void Type(const std::string& text);

  // Where a download of `name` ends up in the default folder, once the program
  // has chosen its documents folder.
  std::filesystem::path DownloadedFile(const std::string& name) const;
  const std::string& StandardError() const { return stderr_; }

 private:
  TempFolder folder_;
  std::unique_ptr<ChildProcess> program_;
  std::string stderr_;
};

}  // namespace tw::testing
