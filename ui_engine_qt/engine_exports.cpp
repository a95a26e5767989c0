// The C functions of the engine. Each one moves its work to the UI thread and
// translates between the plain C values and the controls; those that only
// unpack their arguments are the shared ones of ui_engine_common/.
// Only these functions leave the library; everything else is built hidden.
#pragma GCC visibility push(default)
#include "ui_engine/engine_abi.h"
#pragma GCC visibility pop

#include <QApplication>
#include <QWidget>
#include <algorithm>

#include "ui_engine_qt/basic_controls.h"
#include "ui_engine_qt/control.h"
#include "ui_engine_qt/dialogs.h"
#include "ui_engine_qt/face_box.h"
#include "ui_engine_qt/frame_window.h"
#include "ui_engine_qt/list_view.h"
#include "ui_engine_qt/message_loop.h"
#include "ui_engine_qt/text_buffer.h"
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

UiText* EmptyText() { return NewTextBuffer(nullptr, 0); }

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

int32_t EngineRunMessageLoop(void) {
  // Only the UI thread can run its loop; another thread gets no loop to wait on.
  if (!OnUiThread()) return -1;
  return RunLoop();
}

void EngineQuitMessageLoop(int32_t code) {
  RunOnUiThread([code] { QuitLoop(code); });
}

void EngineProcessMessages(void) {
  if (OnUiThread()) ProcessQueued();
}

UiControl EngineCreateTimer(int32_t intervalMs, UiEventCallback callback, void* context) {
  return CallOnUiThread<UiControl>(0, [&] {
    auto* timer = new EngineTimer(callback, context);
    timer->SetIntervalMs(intervalMs);
    return Register(timer);
  });
}

void EngineSetTimerInterval(UiControl timer, int32_t intervalMs) {
  RunOnUiThread([&] {
    if (auto* found = FindAs<EngineTimer>(timer)) found->SetIntervalMs(intervalMs);
  });
}

int32_t ControlSendMessage(UiControl control, int32_t message, int32_t property, UiValue* value) {
  if (value == nullptr || (message != UI_MSG_SET && message != UI_MSG_GET)) return 0;
  return CallOnUiThread<int32_t>(0, [&]() -> int32_t {
    Control* found = FindControl(control);
    if (found == nullptr) return 0;
    if (message == UI_MSG_SET) return found->SetProperty(property, *value);
    value->text = nullptr;
    return found->GetProperty(property, value);
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
    if (QWidget* widget = FindWidget(control)) widget->setEnabled(enabled != 0);
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

void ControlSetHoverLevel(UiControl control, int32_t level) {
  RunOnUiThread([&] {
    if (Control* found = FindControl(control)) found->SetHoverLevel(level);
  });
}

int32_t ControlGetHoverLevel(UiControl control) {
  return CallOnUiThread<int32_t>(0, [&]() -> int32_t {
    Control* found = FindControl(control);
    return found != nullptr ? found->HoverLevel() : 0;
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

int32_t InsertButton_Toolbar(UiControl toolbar, int32_t position, const UiText* caption) {
  return CallOnUiThread<int32_t>(-1, [&]() -> int32_t {
    auto* bar = FindAs<ToolBar>(toolbar);
    return bar != nullptr ? bar->InsertButton(position, ReadText(caption)) : -1;
  });
}

int32_t InsertColumn_ListView(UiControl list, int32_t position, const UiText* title,
                              int32_t width) {
  return CallOnUiThread<int32_t>(-1, [&]() -> int32_t {
    auto* view = FindAs<ListView>(list);
    return view != nullptr ? view->InsertColumn(position, ReadText(title), width) : -1;
  });
}

int32_t GetColumnWidth_ListView(UiControl list, int32_t column) {
  return CallOnUiThread<int32_t>(0, [&]() -> int32_t {
    auto* view = FindAs<ListView>(list);
    return view != nullptr ? view->ColumnWidth(column) : 0;
  });
}

int32_t InsertItem_ListView(UiControl list, int32_t position) {
  return CallOnUiThread<int32_t>(-1, [&]() -> int32_t {
    auto* view = FindAs<ListView>(list);
    return view != nullptr ? view->InsertRow(position) : -1;
  });
}

void SetItemTitle_ListView(UiControl list, int32_t row, int32_t column, const UiText* text) {
  RunOnUiThread([&] {
    if (auto* view = FindAs<ListView>(list)) view->SetCell(row, column, ReadText(text));
  });
}

UiText* GetItemTitle_ListView(UiControl list, int32_t row, int32_t column) {
  UiText* text = CallOnUiThread<UiText*>(nullptr, [&]() -> UiText* {
    auto* view = FindAs<ListView>(list);
    return NewTextBuffer(view != nullptr ? view->Cell(row, column) : QString());
  });
  return text != nullptr ? text : EmptyText();
}

int32_t EngineMessageBox(const UiText* title, const UiText* message, const UiText* captions) {
  return CallOnUiThread<int32_t>(
      -1, [&] { return ShowMessageBox(ReadText(title), ReadText(message), ReadText(captions)); });
}

UiText* EngineInputBox(const UiText* prompt, const UiText* buttonCaption, int32_t* dismissed) {
  bool wasDismissed = true;
  UiText* text = CallOnUiThread<UiText*>(nullptr, [&] {
    return NewTextBuffer(ShowInputBox(ReadText(prompt), ReadText(buttonCaption), &wasDismissed));
  });
  if (dismissed != nullptr) *dismissed = wasDismissed ? 1 : 0;
  return text != nullptr ? text : EmptyText();
}

void SystemMessageBox(const UiText* title, const UiText* message) {
  RunOnUiThread([&] { ShowSystemMessageBox(ReadText(title), ReadText(message)); });
}

UiText* EngineBrowseForFolder(const UiText* title, const UiText* initialFolder, int32_t editBox) {
  UiText* text = CallOnUiThread<UiText*>(nullptr, [&] {
    return NewTextBuffer(ShowFolderBrowser(ReadText(title), ReadText(initialFolder), editBox != 0));
  });
  return text != nullptr ? text : EmptyText();
}

// Reading the folder touches no widget, so any thread answers it itself.
UiText* EngineDocumentsFolder(void) { return NewTextBuffer(DocumentsFolder()); }

}  // extern "C"
