// The C functions of the engine. Each one moves its work to the UI thread and
// translates between the plain C values and the controls; those that only
// unpack their arguments or reach a control through its role are the shared
// ones of ui_engine_common/. exports.def names them, and only them, for the
// DLL's export table.
#include <windows.h>

#include "ui_engine/engine_abi.h"
#include "ui_engine_win32/common_controls_win32.h"
#include "ui_engine_win32/control_win32.h"
#include "ui_engine_win32/face_label_win32.h"
#include "ui_engine_win32/focus_win32.h"
#include "ui_engine_win32/frame_win32.h"
#include "ui_engine_win32/list_view_win32.h"
#include "ui_engine_win32/ui_thread_win32.h"

using namespace tw::engine;

namespace {

using Kind = ControlKind;

UiControl Keep(Control* control, bool created) {
  if (created) return control->Handle();
  delete control;
  return 0;
}

// The window places itself at its monitor's DPI; the controls in it are
// placed here at the window's, which is where the program's 96-DPI geometry
// meets the screen's pixels.
UiControl Make(Kind kind, HWND parent, int left, int top, int width, int height,
               UiEventCallback callback, void* context) {
  if (kind == Kind::Window) {
    auto* frame = new FrameWindow(callback, context);
    return Keep(frame, frame->Create(parent, left, top, width, height));
  }
  const RECT place = DpiOf(parent).Place(left, top, width, height);
  const int x = place.left, y = place.top;
  const int w = place.right - place.left, h = place.bottom - place.top;
  Control* control = nullptr;
  bool created = false;
  switch (kind) {
    case Kind::Label: {
      auto* label = new TextLabel(callback, context);
      const bool caption = dynamic_cast<FaceBox*>(ControlOfWindow(parent)) != nullptr;
      control = label;
      created = label->Create(parent, caption, x, y, w, h);
      break;
    }
    case Kind::PictureBox: {
      auto* face = new FaceBox(callback, context);
      control = face;
      created = face->Create(parent, x, y, w, h);
      break;
    }
    case Kind::ProgressBar: {
      auto* bar = new ProgressBar(callback, context);
      control = bar;
      created = bar->Create(parent, x, y, w, h);
      break;
    }
    case Kind::Toolbar: {
      auto* bar = new ToolBar(callback, context);
      control = bar;
      created = bar->Create(parent, x, y, w, h);
      break;
    }
    case Kind::ListView: {
      auto* list = new ListView(callback, context);
      control = list;
      created = list->Create(parent, x, y, w, h);
      break;
    }
    case Kind::Window:
      break;
  }
  if (control == nullptr) return 0;
  control->SetBasePlace(left, top, width, height);
  return Keep(control, created);
}

}  // namespace

UiControl tw::engine::CreateControl(Kind kind, UiControl parent, int32_t left, int32_t top,
                                    int32_t width, int32_t height, UiEventCallback callback,
                                    void* context) {
  return CallOnUiThread<UiControl>(0, [&]() -> UiControl {
    HWND parentWindow = nullptr;
    if (parent != 0) {
      parentWindow = FindWindowOf(parent);
      if (parentWindow == nullptr) return 0;
    }
    // Only the window itself stands alone; every other control needs one.
    if (kind != Kind::Window && parentWindow == nullptr) return 0;
    return Make(kind, parentWindow, left, top, width, height, callback, context);
  });
}

extern "C" {

int32_t EngineStartup(void*) {
  StartCommonControls();
  return StartUiThread() ? 1 : 0;
}

UiControl EngineCreateTimer(int32_t intervalMs, UiEventCallback callback, void* context) {
  return CallOnUiThread<UiControl>(0, [&] {
    auto* timer = new EngineTimer(callback, context);
    timer->Attach(nullptr);
    timer->SetIntervalMs(intervalMs);
    return timer->Handle();
  });
}

void ControlDestroy(UiControl control) {
  RunOnUiThread([&] {
    Control* found = FindControl(control);
    if (found == nullptr) return;
    HWND window = found->Window();
    if (window == nullptr) {
      Forget(found);
      return;
    }
    ForgetTree(window);
    ShowWindow(window, SW_HIDE);
    // Later, because the control may be destroyed from inside its own event.
    DestroyLater(window);
  });
}

void ControlShow(UiControl window) {
  RunOnUiThread([&] {
    if (auto* frame = FindAs<FrameWindow>(window)) {
      frame->ShowFrame();
    } else if (HWND found = FindWindowOf(window)) {
      ShowWindow(found, SW_SHOW);
    }
  });
}

void ControlSetEnabled(UiControl control, int32_t enabled) {
  RunOnUiThread([&] {
    HWND found = FindWindowOf(control);
    if (found == nullptr) return;
    HWND focus = GetFocus();
    const bool hadFocus = focus != nullptr && (focus == found || IsChild(found, focus));
    EnableWindow(found, enabled != 0 ? TRUE : FALSE);
    // The keyboard goes on to the next control rather than staying on one that
    // takes no input (from a button the program is now busy with, on to the
    // one that cancels it).
    if (hadFocus && enabled == 0) HandFocusOn(focus);
  });
}

int32_t ControlGetEnabled(UiControl control) {
  return CallOnUiThread<int32_t>(0, [&]() -> int32_t {
    // The control's own state: a caption stays enabled in its own right while
    // its face is disabled, as the program set it.
    HWND found = FindWindowOf(control);
    return found != nullptr && IsWindowEnabled(found) ? 1 : 0;
  });
}

void ControlSetBusyCursor(UiControl window, int32_t busy) {
  RunOnUiThread([&] {
    if (auto* frame = FindAs<FrameWindow>(window)) frame->SetBusy(busy != 0);
  });
}

}  // extern "C"
