#include "ui_engine_win32/taskbar_win32.h"

#include <objbase.h>
#include <shobjidl.h>

#include "ui_engine/engine_abi.h"

namespace tw::engine {
namespace {

// Made on first use and kept for the life of the UI thread; null where the
// shell offers none.
ITaskbarList3* Taskbar() {
  static ITaskbarList3* taskbar = [] {
    // A thread that already has another apartment keeps it; the taskbar
    // object is served in either.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ITaskbarList3* made = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&made)))) {
      return static_cast<ITaskbarList3*>(nullptr);
    }
    if (FAILED(made->HrInit())) {
      made->Release();
      return static_cast<ITaskbarList3*>(nullptr);
    }
    return made;
  }();
  return taskbar;
}

TBPFLAG FlagOf(int32_t state) {
  switch (state) {
    case UI_TASK_RUNNING:
      return TBPF_NORMAL;
    case UI_TASK_PAUSED:
      return TBPF_PAUSED;
    case UI_TASK_FAILED:
      return TBPF_ERROR;
    default:
      return TBPF_NOPROGRESS;
  }
}

}  // namespace

void ShowTaskbarProgress(HWND window, int32_t state, int32_t position, int32_t maximum) {
  ITaskbarList3* taskbar = Taskbar();
  HWND top = GetAncestor(window, GA_ROOT);
  if (taskbar == nullptr || top == nullptr) return;
  // The value first: a state shown before it would flash the old one.
  if (state != UI_TASK_NONE) {
    taskbar->SetProgressValue(top, static_cast<ULONGLONG>(position > 0 ? position : 0),
                              static_cast<ULONGLONG>(maximum > 0 ? maximum : 1));
  }
  taskbar->SetProgressState(top, FlagOf(state));
}

}  // namespace tw::engine
