// The program's window as the keyboard and screen reader tests need it: its
// toolbar, three button faces with their captions, the folder line, the list,
// the status line and the bar, at the program's places; what its controls
// report; and what a screen reader hears of the focus.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "ui_engine/engine_abi.h"

namespace tw::testing {

struct EventLog {
  std::vector<std::pair<int32_t, int32_t>> events;  // code, a
  int Count(int32_t code) const;
};

class MainWindowShape {
 public:
  // Made with the faces in another order than they are read, shown, and
  // active. Captions and the toolbar report to `log`.
  explicit MainWindowShape(EventLog* log);
  ~MainWindowShape();
  MainWindowShape(const MainWindowShape&) = delete;
  MainWindowShape& operator=(const MainWindowShape&) = delete;

  UiControl window = 0, toolbar = 0, folderLine = 0, list = 0, status = 0, bar = 0;
  UiControl faces[3] = {}, captions[3] = {};  // 选定下载, 取消下载, 选择保存位置
  HWND frame = nullptr, toolbarWindow = nullptr, folderWindow = nullptr, listWindow = nullptr,
       statusWindow = nullptr, barWindow = nullptr;
  HWND faceWindows[3] = {}, captionWindows[3] = {};
};

// Listens, as a screen reader does, to the focus moving within this process;
// the events arrive while the UI thread handles its messages.
class FocusListener {
 public:
  FocusListener();
  ~FocusListener();
  FocusListener(const FocusListener&) = delete;
  FocusListener& operator=(const FocusListener&) = delete;

  // The toolbar button (0-based) the last focus event named in `toolbar`; -1 for none.
  static int ButtonFocusedIn(HWND toolbar);

 private:
  HWINEVENTHOOK hook_;
};

// A key as the keyboard sends it to the focused window, handled before this returns.
void PressKey(UINT key, bool repeated = false);
// The same with Shift, Ctrl or Alt held (VK_SHIFT, VK_CONTROL, VK_MENU).
void PressKeyWith(UINT modifier, UINT key);

}  // namespace tw::testing
