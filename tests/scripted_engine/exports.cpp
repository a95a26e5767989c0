// The engine's C interface: every call is recorded and runs on the UI thread.
// Those that only unpack their arguments are the shared ones of ui_engine_common/.
#include <algorithm>

#include "tests/scripted_engine/engine.h"
#include "tests/scripted_engine/utf16.h"
#include "ui_engine/engine_abi.h"
#include "ui_engine_common/engine_hooks.h"
#include "ui_engine_common/list_rules.h"
#include "ui_engine_common/text_buffer.h"

using namespace tw::scripted;
using tw::engine::NewTextBuffer;
using tw::engine::ReadUnits;

namespace {

std::string Id(UiControl id) { return std::to_string(id); }

Kind KindOf(tw::engine::ControlKind kind) {
  switch (kind) {
    case tw::engine::ControlKind::Window:
      return Kind::Window;
    case tw::engine::ControlKind::Label:
      return Kind::Label;
    case tw::engine::ControlKind::PictureBox:
      return Kind::Picture;
    case tw::engine::ControlKind::ProgressBar:
      return Kind::Progress;
    case tw::engine::ControlKind::Toolbar:
      return Kind::Toolbar;
    case tw::engine::ControlKind::ListView:
      break;
  }
  return Kind::List;
}

int32_t SetProperty(Engine& e, Control& c, UiControl id, int32_t property, const UiValue& value,
                    const std::u16string& text) {
  switch (property) {
    case UI_PROP_TEXT:
      c.text = text;
      RecordLine(e, "text " + Id(id) + " " + EscapeText(text));
      return 1;
    case UI_PROP_VALUE:
      c.value = value.number;
      RecordLine(e, "value " + Id(id) + " " + std::to_string(value.number));
      return 1;
    case UI_PROP_RANGE_MAX:
      c.rangeMax = value.number;
      RecordLine(e, "range " + Id(id) + " " + std::to_string(value.number));
      return 1;
    case UI_PROP_SELECTED_ROW:
      c.selectedRow = value.number;
      RecordLine(e, "selected " + Id(id) + " " + std::to_string(value.number));
      return 1;
    case UI_PROP_TASK_STATE:
      if (c.kind != Kind::Progress || value.number < UI_TASK_NONE ||
          value.number > UI_TASK_FAILED) {
        return 0;
      }
      c.taskState = value.number;
      RecordLine(e, "task " + Id(id) + " " + std::to_string(value.number));
      return 1;
    case UI_PROP_BACKGROUND:
      c.background = text;
      RecordLine(e, "background " + Id(id) + " " + EscapeText(text));
      return 1;
    case UI_PROP_ACCESSIBLE_NAME:
      c.accessibleName = text;
      RecordLine(e, "name " + Id(id) + " " + EscapeText(text));
      return 1;
    case UI_PROP_LIVE:
      c.live = value.number != 0;
      RecordLine(e, "live " + Id(id) + " " + std::to_string(value.number));
      return 1;
    default:
      return 0;  // read-only or unknown
  }
}

int32_t GetProperty(const Control& c, int32_t property, UiValue* value) {
  switch (property) {
    case UI_PROP_TEXT:
      value->text = NewTextBuffer(c.text);
      return 1;
    case UI_PROP_BACKGROUND:
      value->text = NewTextBuffer(c.background);
      return 1;
    case UI_PROP_ACCESSIBLE_NAME:
      // Only what the program gave: the scripted engine shows nothing to name a control by.
      value->text = NewTextBuffer(c.accessibleName);
      return 1;
    case UI_PROP_LIVE:
      value->number = c.live ? 1 : 0;
      return 1;
    case UI_PROP_VALUE:
      value->number = c.value;
      return 1;
    case UI_PROP_RANGE_MAX:
      value->number = c.rangeMax;
      return 1;
    case UI_PROP_SELECTED_ROW:
      value->number = c.selectedRow;
      return 1;
    case UI_PROP_TASK_STATE:
      value->number = c.taskState;
      return 1;
    case UI_PROP_CLIENT_WIDTH:
      value->number = std::max(0, c.width - 4);
      return 1;
    case UI_PROP_ROW_COUNT:
      value->number = static_cast<int64_t>(c.rows.size());
      return 1;
    default:
      return 0;
  }
}

size_t InsertionPoint(int32_t position, size_t count) {
  return static_cast<size_t>(tw::engine::InsertionPoint(position, static_cast<int32_t>(count)));
}

}  // namespace

UiControl tw::engine::CreateControl(ControlKind kind, UiControl parent, int32_t left, int32_t top,
                                    int32_t width, int32_t height, UiEventCallback callback,
                                    void* context) {
  return OnUi<UiControl>(0, [&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    const UiControl id = e.nextId++;
    Control& c = e.controls[id];
    c.kind = KindOf(kind);
    c.parent = parent;
    c.left = left, c.top = top, c.width = width, c.height = height;
    c.callback = callback;
    c.context = context;
    RecordLine(e, "control " + Id(id) + " " + KindName(c.kind) + " " + Id(parent) + " " +
                      std::to_string(left) + " " + std::to_string(top) + " " +
                      std::to_string(width) + " " + std::to_string(height));
    return id;
  });
}

extern "C" {

int32_t EngineStartup(void* libraryHandle) {
  StartSession(libraryHandle);
  return 1;
}

int32_t EngineRunMessageLoop(void) { return RunLoop(); }

void EngineQuitMessageLoop(int32_t code) { Quit(code); }

void EngineProcessMessages(void) {
  if (OnUiThread()) ProcessFromHandler();
}

UiControl EngineCreateTimer(int32_t intervalMs, UiEventCallback callback, void* context) {
  return OnUi<UiControl>(0, [&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    const UiControl id = e.nextId++;
    Control& timer = e.controls[id];
    timer.kind = Kind::Timer;
    timer.callback = callback;
    timer.context = context;
    timer.interval = std::max(0, intervalMs);
    timer.due = Clock::now() + std::chrono::milliseconds(timer.interval);
    RecordLine(e, "timer " + Id(id) + " " + std::to_string(timer.interval));
    return id;
  });
}

void EngineSetTimerInterval(UiControl timerId, int32_t intervalMs) {
  RunOnUi([&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    Control* timer = FindTimer(e, timerId);
    if (timer == nullptr) return;
    timer->interval = std::max(0, intervalMs);
    timer->due = Clock::now() + std::chrono::milliseconds(timer->interval);
    RecordLine(e, "timer " + Id(timerId) + " " + std::to_string(timer->interval));
  });
}

int32_t ControlSendMessage(UiControl control, int32_t message, int32_t property, UiValue* value) {
  if (value == nullptr || (message != UI_MSG_SET && message != UI_MSG_GET)) return 0;
  // The caller's text is copied before the call may travel to the UI thread.
  const std::u16string text = message == UI_MSG_SET ? ReadUnits(value->text) : std::u16string();
  return OnUi<int32_t>(0, [&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    Control* c = Find(e, control);
    if (c == nullptr) return 0;
    return message == UI_MSG_SET ? SetProperty(e, *c, control, property, *value, text)
                                 : GetProperty(*c, property, value);
  });
}

void ControlDestroy(UiControl control) {
  RunOnUi([&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    const auto it = e.controls.find(control);
    if (it == e.controls.end() || it->second.destroyed) return;
    it->second.destroyed = true;
    RecordLine(e, "destroyed " + Id(control));
  });
}

void ControlShow(UiControl window) {
  RunOnUi([&] {
    Engine& e = TheEngine();
    {
      std::lock_guard<std::mutex> lock(e.mu);
      if (Find(e, window) == nullptr) return;
    }
    SendEvent(window, UI_EVENT_CREATED, 0);
    std::lock_guard<std::mutex> lock(e.mu);
    RecordLine(e, "shown " + Id(window));
  });
}

void ControlSetEnabled(UiControl control, int32_t enabled) {
  RunOnUi([&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    Control* c = Find(e, control);
    if (c == nullptr || c->enabled == (enabled != 0)) return;
    c->enabled = enabled != 0;
    RecordLine(e, "enabled " + Id(control) + (c->enabled ? " 1" : " 0"));
  });
}

int32_t ControlGetEnabled(UiControl control) {
  return OnUi<int32_t>(0, [&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    const Control* c = Find(e, control);
    return c != nullptr && c->enabled ? 1 : 0;
  });
}

void ControlSetHoverLevel(UiControl control, int32_t level) {
  RunOnUi([&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    Control* c = Find(e, control);
    if (c == nullptr) return;
    c->hover = level;
    RecordLine(e, "hover " + Id(control) + " " + std::to_string(level));
  });
}

void ControlSetBusyCursor(UiControl control, int32_t busy) {
  RunOnUi([&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    if (Find(e, control) == nullptr) return;
    RecordLine(e, "cursor " + Id(control) + (busy != 0 ? " busy" : " normal"));
  });
}

int32_t ControlGetHoverLevel(UiControl control) {
  return OnUi<int32_t>(0, [&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    const Control* c = Find(e, control);
    return c == nullptr ? 0 : c->hover;
  });
}

int32_t InsertButton_Toolbar(UiControl toolbar, int32_t position, const UiText* caption) {
  const std::u16string text = ReadUnits(caption);
  return OnUi<int32_t>(-1, [&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    Control* c = Find(e, toolbar);
    if (c == nullptr || c->kind != Kind::Toolbar) return -1;
    const size_t index = InsertionPoint(position, c->buttons.size());
    c->buttons.insert(c->buttons.begin() + static_cast<ptrdiff_t>(index), text);
    RecordLine(e, "button " + Id(toolbar) + " " + std::to_string(index) + " " + EscapeText(text));
    return static_cast<int32_t>(index);
  });
}

int32_t InsertColumn_ListView(UiControl list, int32_t position, const UiText* title,
                              int32_t width) {
  const std::u16string text = ReadUnits(title);
  return OnUi<int32_t>(-1, [&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    Control* c = Find(e, list);
    if (c == nullptr || c->kind != Kind::List) return -1;
    const size_t index = InsertionPoint(position, c->columns.size());
    c->columns.insert(c->columns.begin() + static_cast<ptrdiff_t>(index), Column{text, width});
    // Cells move right with their column, as in a real list.
    for (auto& row : c->rows) {
      if (row.size() > index) row.insert(row.begin() + static_cast<ptrdiff_t>(index), u"");
    }
    RecordLine(e, "column " + Id(list) + " " + std::to_string(index) + " " + std::to_string(width) +
                      " " + EscapeText(text));
    return static_cast<int32_t>(index);
  });
}

int32_t GetColumnWidth_ListView(UiControl list, int32_t column) {
  return OnUi<int32_t>(0, [&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    const Control* c = Find(e, list);
    if (c == nullptr || column < 0 || static_cast<size_t>(column) >= c->columns.size()) return 0;
    return c->columns[static_cast<size_t>(column)].width;
  });
}

int32_t InsertItem_ListView(UiControl list, int32_t position) {
  return OnUi<int32_t>(-1, [&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    Control* c = Find(e, list);
    if (c == nullptr || c->kind != Kind::List) return -1;
    const size_t row = InsertionPoint(position, c->rows.size());
    c->rows.insert(c->rows.begin() + static_cast<ptrdiff_t>(row), std::vector<std::u16string>());
    RecordLine(e, "row " + Id(list) + " " + std::to_string(row));
    return static_cast<int32_t>(row);
  });
}

void SetItemTitle_ListView(UiControl list, int32_t row, int32_t column, const UiText* text) {
  const std::u16string value = ReadUnits(text);
  RunOnUi([&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    Control* c = Find(e, list);
    if (c == nullptr || row < 0 || static_cast<size_t>(row) >= c->rows.size() || column < 0) {
      return;
    }
    auto& cells = c->rows[static_cast<size_t>(row)];
    if (cells.size() <= static_cast<size_t>(column)) cells.resize(static_cast<size_t>(column) + 1);
    cells[static_cast<size_t>(column)] = value;
    RecordLine(e, "cell " + Id(list) + " " + std::to_string(row) + " " + std::to_string(column) +
                      " " + EscapeText(value));
  });
}

UiText* GetItemTitle_ListView(UiControl list, int32_t row, int32_t column) {
  const std::u16string text = OnUi<std::u16string>({}, [&]() -> std::u16string {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    const Control* c = Find(e, list);
    if (c == nullptr || row < 0 || static_cast<size_t>(row) >= c->rows.size() || column < 0) {
      return {};
    }
    const auto& cells = c->rows[static_cast<size_t>(row)];
    return static_cast<size_t>(column) < cells.size() ? cells[static_cast<size_t>(column)]
                                                      : std::u16string();
  });
  return NewTextBuffer(text);
}

int32_t EngineMessageBox(const UiText* title, const UiText* message, const UiText* captions) {
  const std::u16string t = ReadUnits(title), m = ReadUnits(message), c = ReadUnits(captions);
  return OnUi<int32_t>(-1, [&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    int32_t answer = 0;
    if (!e.boxAnswers.empty()) {
      answer = e.boxAnswers.front();
      e.boxAnswers.pop_front();
    }
    RecordLine(e, "msgbox " + EscapeText(t) + "\t" + EscapeText(m) + "\t" + EscapeText(c) +
                      "\t-> " + std::to_string(answer));
    return answer;
  });
}

UiText* EngineInputBox(const UiText* prompt, const UiText* buttonCaption, int32_t* dismissed) {
  const std::u16string p = ReadUnits(prompt), c = ReadUnits(buttonCaption);
  const InputAnswer answer = OnUi<InputAnswer>({u"", true}, [&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    InputAnswer taken{u"", true};
    if (!e.inputAnswers.empty()) {
      taken = e.inputAnswers.front();
      e.inputAnswers.pop_front();
    }
    RecordLine(e, "inputbox " + EscapeText(p) + "\t" + EscapeText(c) + "\t-> " +
                      EscapeText(taken.text) + "\t" + (taken.dismissed ? "1" : "0"));
    return taken;
  });
  if (dismissed != nullptr) *dismissed = answer.dismissed ? 1 : 0;
  return NewTextBuffer(answer.text);
}

void SystemMessageBox(const UiText* title, const UiText* message) {
  const std::u16string t = ReadUnits(title), m = ReadUnits(message);
  RunOnUi([&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    RecordLine(e, "sysbox " + EscapeText(t) + "\t" + EscapeText(m));
  });
}

UiText* EngineBrowseForFolder(const UiText* title, const UiText* initialFolder, int32_t editBox) {
  const std::u16string t = ReadUnits(title), f = ReadUnits(initialFolder);
  const std::u16string chosen = OnUi<std::u16string>({}, [&] {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    std::optional<std::u16string> answer;
    if (!e.browseAnswers.empty()) {
      answer = e.browseAnswers.front();
      e.browseAnswers.pop_front();
    }
    const std::u16string result = answer.value_or(u"");
    RecordLine(e, "browse " + EscapeText(t) + "\t" + EscapeText(f) + "\t" +
                      std::to_string(editBox) + "\t-> " + EscapeText(result));
    return result;
  });
  return NewTextBuffer(chosen);
}

UiText* EngineDocumentsFolder(void) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mu);
  return NewTextBuffer(e.documents);
}

}  // extern "C"
