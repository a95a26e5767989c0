// The C functions of the engine. Each one moves its work to the UI thread and
// translates between the plain C values and the controls; those that only
// unpack their arguments or reach a control through its role are the shared
// ones of ui_engine_common/.
// Only these functions leave the library; everything else is built hidden.
#pragma GCC visibility push(default)
#include "ui_engine/engine_abi.h"
#pragma GCC visibility pop

#include <QApplication>
#include <QWidget>
#include <algorithm>

#include "ui_engine_qt/basic_controls.h"
#include "ui_engine_qt/control.h"
#include "ui_engine_qt/face_box.h"
#include "ui_engine_qt/frame_window.h"
#include "ui_engine_qt/list_view.h"
#include "ui_engine_qt/message_loop.h"
#include "ui_engine_qt/text_label.h"
#include "ui_engine_qt/ui_thread.h"

using namespace tw::engine;

namespace {

using Kind = ControlKind;

Control* MakeControl(Kind kind, QWidget* parent, UiEventCallback callback, void* context) {
  switch (kind) {
    case Kind::Window:
      return new FrameWindow(parent, callback, context);
    case Kind::Label:
      return new TextLabel(parent, dynamic_cast<FaceBox*>(parent) != nullptr, callback, context);
    case Kind::PictureBox:
      return new FaceBox(parent, callback, context);
    case Kind::ProgressBar:
      return new ProgressBar(parent, callback, context);
    case Kind::Toolbar:
      return new ToolBar(parent, callback, context);
    case Kind::ListView:
      return new ListView(parent, callback, context);
  }
  return nullptr;
}

// The first control after `from` in its window's focus chain that Tab could reach.
void FocusNextAfter(QWidget* from) {
  QWidget* window = from->window();
  for (QWidget* next = from->nextInFocusChain(); next != from && next != nullptr;
       next = next->nextInFocusChain()) {
    const bool reachable = (next->focusPolicy() & Qt::TabFocus) != 0 && next->isEnabled() &&
                           next->isVisibleTo(window) && window->isAncestorOf(next);
    if (reachable) {
      next->setFocus(Qt::TabFocusReason);
      return;
    }
  }
}

}  // namespace

UiControl tw::engine::CreateControl(Kind kind, UiControl parent, int32_t left, int32_t top,
                                    int32_t width, int32_t height, UiEventCallback callback,
                                    void* context) {
  return CallOnUiThread<UiControl>(0, [&]() -> UiControl {
    QWidget* parentWidget = nullptr;
    if (parent != 0) {
      parentWidget = FindWidget(parent);
      if (parentWidget == nullptr) return 0;
    }
    Control* control = MakeControl(kind, parentWidget, callback, context);
    QWidget* widget = control->Widget();
    if (kind == Kind::Window) {
      widget->move(left, top);
      widget->setFixedSize(std::max(width, 1), std::max(height, 1));
    } else {
      widget->setGeometry(left, top, std::max(width, 0), std::max(height, 0));
      // A child shows with its window; one made later shows at once.
      if (parentWidget != nullptr) widget->show();
    }
    return Register(control);
  });
}

extern "C" {

int32_t EngineStartup(void*) { return StartApplication() ? 1 : 0; }

UiControl EngineCreateTimer(int32_t intervalMs, UiEventCallback callback, void* context) {
  return CallOnUiThread<UiControl>(0, [&] {
    auto* timer = new EngineTimer(callback, context);
    timer->SetIntervalMs(intervalMs);
    return Register(timer);
  });
}

void ControlDestroy(UiControl control) {
  RunOnUiThread([&] {
    Control* found = FindControl(control);
    if (found == nullptr) return;
    UnregisterTree(found->Object());
    if (QWidget* widget = found->Widget()) widget->hide();
    // Later, because the control may be destroyed from inside its own event.
    found->Object()->deleteLater();
  });
}

void ControlShow(UiControl window) {
  RunOnUiThread([&] {
    if (auto* frame = FindAs<FrameWindow>(window)) {
      frame->ShowFrame();
    } else if (QWidget* widget = FindWidget(window)) {
      widget->show();
    }
  });
}

void ControlSetEnabled(UiControl control, int32_t enabled) {
  RunOnUiThread([&] {
    QWidget* widget = FindWidget(control);
    if (widget == nullptr) return;
    QWidget* focus = widget->window()->focusWidget();
    const bool hadFocus = focus != nullptr && (focus == widget || widget->isAncestorOf(focus));
    widget->setEnabled(enabled != 0);
    // Qt drops the focus of a control disabled under it; the keyboard goes on
    // to the next control instead (from a button the program is now busy
    // with, on to the one that cancels it).
    if (hadFocus && enabled == 0) FocusNextAfter(focus);
  });
}

int32_t ControlGetEnabled(UiControl control) {
  return CallOnUiThread<int32_t>(0, [&]() -> int32_t {
    QWidget* widget = FindWidget(control);
    // The control's own state: a caption stays enabled in its own right while
    // its face is disabled, as the program set it.
    return widget != nullptr && !widget->testAttribute(Qt::WA_ForceDisabled) ? 1 : 0;
  });
}

void ControlSetBusyCursor(UiControl window, int32_t busy) {
  RunOnUiThread([&] {
    // Over the whole application, so the captions' own hand cursors give way
    // too; the arrow with a busy sign says that clicks still work.
    static bool overridden = false;
    if (FindWidget(window) == nullptr || overridden == (busy != 0)) return;
    overridden = busy != 0;
    if (overridden) {
      QApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
      QApplication::restoreOverrideCursor();
    }
  });
}

}  // extern "C"
