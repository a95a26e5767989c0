// The exports the engines whose controls live on a real UI thread (Qt, Win32)
// write the same way: the call moves to the UI thread and reaches the control
// through its role.
#include "ui_engine_common/control_core.h"
#include "ui_engine_common/control_roles.h"
#include "ui_engine_common/engine_hooks.h"
#include "ui_engine_common/text_buffer.h"

using namespace tw::engine;

namespace {

template <class Role>
Role* FindAs(UiControl handle) {
  return dynamic_cast<Role*>(FindControlCore(handle));
}

}  // namespace

extern "C" {

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

void EngineSetTimerInterval(UiControl timer, int32_t intervalMs) {
  RunOnUiThread([&] {
    if (auto* found = FindAs<TimerRole>(timer)) found->SetIntervalMs(intervalMs);
  });
}

int32_t ControlSendMessage(UiControl control, int32_t message, int32_t property, UiValue* value) {
  if (value == nullptr || (message != UI_MSG_SET && message != UI_MSG_GET)) return 0;
  return CallOnUiThread<int32_t>(0, [&]() -> int32_t {
    ControlCore* found = FindControlCore(control);
    if (found == nullptr) return 0;
    if (message == UI_MSG_SET) return found->SetProperty(property, *value);
    value->text = nullptr;
    return found->GetProperty(property, value);
  });
}

void ControlSetHoverLevel(UiControl control, int32_t level) {
  RunOnUiThread([&] {
    if (ControlCore* found = FindControlCore(control)) found->SetHoverLevel(level);
  });
}

int32_t ControlGetHoverLevel(UiControl control) {
  return CallOnUiThread<int32_t>(0, [&]() -> int32_t {
    ControlCore* found = FindControlCore(control);
    return found != nullptr ? found->HoverLevel() : 0;
  });
}

int32_t InsertButton_Toolbar(UiControl toolbar, int32_t position, const UiText* caption) {
  return CallOnUiThread<int32_t>(-1, [&]() -> int32_t {
    auto* bar = FindAs<ToolBarRole>(toolbar);
    return bar != nullptr ? bar->InsertButton(position, ReadUnits(caption)) : -1;
  });
}

int32_t InsertColumn_ListView(UiControl list, int32_t position, const UiText* title,
                              int32_t width) {
  return CallOnUiThread<int32_t>(-1, [&]() -> int32_t {
    auto* view = FindAs<ListRole>(list);
    return view != nullptr ? view->InsertColumn(position, ReadUnits(title), width) : -1;
  });
}

int32_t GetColumnWidth_ListView(UiControl list, int32_t column) {
  return CallOnUiThread<int32_t>(0, [&]() -> int32_t {
    auto* view = FindAs<ListRole>(list);
    return view != nullptr ? view->ColumnWidth(column) : 0;
  });
}

int32_t InsertItem_ListView(UiControl list, int32_t position) {
  return CallOnUiThread<int32_t>(-1, [&]() -> int32_t {
    auto* view = FindAs<ListRole>(list);
    return view != nullptr ? view->InsertRow(position) : -1;
  });
}

void SetItemTitle_ListView(UiControl list, int32_t row, int32_t column, const UiText* text) {
  RunOnUiThread([&] {
    if (auto* view = FindAs<ListRole>(list)) view->SetCell(row, column, ReadUnits(text));
  });
}

UiText* GetItemTitle_ListView(UiControl list, int32_t row, int32_t column) {
  const std::u16string text = CallOnUiThread<std::u16string>({}, [&] {
    auto* view = FindAs<ListRole>(list);
    return view != nullptr ? view->Cell(row, column) : std::u16string();
  });
  return NewTextBuffer(text);
}

int32_t EngineMessageBox(const UiText* title, const UiText* message, const UiText* captions) {
  return CallOnUiThread<int32_t>(-1, [&] {
    return ShowMessageBox(ReadUnits(title), ReadUnits(message), ReadUnits(captions));
  });
}

UiText* EngineInputBox(const UiText* prompt, const UiText* buttonCaption, int32_t* dismissed) {
  bool wasDismissed = true;
  const std::u16string text = CallOnUiThread<std::u16string>(
      {}, [&] { return ShowInputBox(ReadUnits(prompt), ReadUnits(buttonCaption), &wasDismissed); });
  if (dismissed != nullptr) *dismissed = wasDismissed ? 1 : 0;
  return NewTextBuffer(text);
}

void SystemMessageBox(const UiText* title, const UiText* message) {
  RunOnUiThread([&] { ShowSystemMessageBox(ReadUnits(title), ReadUnits(message)); });
}

UiText* EngineBrowseForFolder(const UiText* title, const UiText* initialFolder, int32_t editBox) {
  return NewTextBuffer(CallOnUiThread<std::u16string>({}, [&] {
    return ShowFolderBrowser(ReadUnits(title), ReadUnits(initialFolder), editBox != 0);
  }));
}

// Reading the folder touches no window, so any thread answers it itself.
UiText* EngineDocumentsFolder(void) { return NewTextBuffer(DocumentsFolder()); }

}  // extern "C"
