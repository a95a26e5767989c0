#include "ui_engine/ui.h"

#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>

#include "text/convert.h"
#include "text/message_pump.h"

namespace tw::ui {

namespace {

EngineExports gEngine;

// Handlers live as long as the program: the engine may call them until exit.
std::mutex gHandlersLock;
std::deque<EventHandler> gHandlers;

void* KeepHandler(EventHandler handler) {
  std::lock_guard<std::mutex> lock(gHandlersLock);
  gHandlers.push_back(std::move(handler));
  return &gHandlers.back();
}

int32_t Dispatch(void* context, int32_t code, int32_t a, int32_t b, int32_t c, int32_t d) {
  if (code >= UI_EVENT_NOTIFY_BASE || context == nullptr) return 0;
  const auto& handler = *static_cast<EventHandler*>(context);
  return handler ? handler(code, a, b, c, d) : 0;
}

void PumpEngine() { gEngine.EngineProcessMessages(); }

// A text buffer handed to the engine for the length of one call.
class Buffer {
 public:
  explicit Buffer(const Text& text) {
    const std::u16string units = GbkToUtf16(text);
    buffer_ = gEngine.MakeTextBuffer(reinterpret_cast<const uint16_t*>(units.data()),
                                     static_cast<int32_t>(units.size()));
  }
  ~Buffer() { gEngine.ReleaseTextBuffer(buffer_); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  UiText* get() const { return buffer_; }

 private:
  UiText* buffer_;
};

// Takes a buffer the engine returned, which becomes ours.
Text TakeText(UiText* buffer) {
  if (buffer == nullptr) return {};
  Text text;
  if (buffer->byteLength > 2) {
    std::size_t units = buffer->byteLength / 2;
    if (buffer->units[units - 1] == 0) --units;  // the terminator the length counts
    text = Utf16ToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(buffer->units), units));
  }
  gEngine.ReleaseTextBuffer(buffer);
  return text;
}

void SetTextProperty(UiControl control, int32_t property, const Text& text) {
  Buffer buffer(text);
  UiValue value{0, buffer.get()};
  gEngine.ControlSendMessage(control, UI_MSG_SET, property, &value);
}

}  // namespace

bool Start(const EngineSearch& search) {
  const LoadResult result = LoadEngine(search, &gEngine);
  if (!result.ok) {
    ReportEngineFailure(result.message);
    return false;
  }
  InstallMessagePump(&PumpEngine);
  return true;
}

const EngineExports& Engine() { return gEngine; }

UiControl CreateControl(ControlKind kind, UiControl parent, Geometry g, EventHandler handler) {
  void* context = KeepHandler(std::move(handler));
  decltype(gEngine.CreateControl_Label) create = nullptr;
  switch (kind) {
    case ControlKind::Window:
      create = gEngine.CreateControl_Window;
      break;
    case ControlKind::Label:
      create = gEngine.CreateControl_Label;
      break;
    case ControlKind::PictureBox:
      create = gEngine.CreateControl_PictureBox;
      break;
    case ControlKind::ProgressBar:
      create = gEngine.CreateControl_ProgressBar;
      break;
    case ControlKind::Toolbar:
      create = gEngine.CreateControl_Toolbar;
      break;
    case ControlKind::ListView:
      create = gEngine.CreateControl_ListView;
      break;
  }
  return create(parent, g.left, g.top, g.width, g.height, &Dispatch, context);
}

UiControl CreateTimer(int32_t intervalMs, EventHandler handler) {
  return gEngine.EngineCreateTimer(intervalMs, &Dispatch, KeepHandler(std::move(handler)));
}

void SetText(UiControl control, const Text& text) { SetTextProperty(control, UI_PROP_TEXT, text); }

void SetAccessibleName(UiControl control, const Text& name) {
  SetTextProperty(control, UI_PROP_ACCESSIBLE_NAME, name);
}

Text GetText(UiControl control) {
  UiValue value{0, nullptr};
  gEngine.ControlSendMessage(control, UI_MSG_GET, UI_PROP_TEXT, &value);
  return TakeText(value.text);
}

void SetNumber(UiControl control, int32_t property, int64_t number) {
  UiValue value{number, nullptr};
  gEngine.ControlSendMessage(control, UI_MSG_SET, property, &value);
}

int64_t GetNumber(UiControl control, int32_t property) {
  UiValue value{0, nullptr};
  gEngine.ControlSendMessage(control, UI_MSG_GET, property, &value);
  return value.number;
}

void ClearBackground(UiControl control) { SetTextProperty(control, UI_PROP_BACKGROUND, Text{}); }

void SetBusyCursor(UiControl window, bool busy) {
  gEngine.ControlSetBusyCursor(window, busy ? 1 : 0);
}

int32_t AddToolbarButton(UiControl toolbar, const Text& caption) {
  Buffer buffer(caption);
  return gEngine.InsertButton_Toolbar(toolbar, -1, buffer.get());
}

int32_t AddColumn(UiControl list, const Text& title, int32_t width) {
  Buffer buffer(title);
  return gEngine.InsertColumn_ListView(list, -1, buffer.get(), width);
}

int32_t AddRow(UiControl list) { return gEngine.InsertItem_ListView(list, -1); }

void SetCell(UiControl list, int32_t row, int32_t column, const Text& text) {
  Buffer buffer(text);
  gEngine.SetItemTitle_ListView(list, row, column, buffer.get());
}

Text GetCell(UiControl list, int32_t row, int32_t column) {
  return TakeText(gEngine.GetItemTitle_ListView(list, row, column));
}

int32_t MessageBox(const Text& title, const Text& message, const Text& captions) {
  Buffer t(title), m(message), c(captions);
  return gEngine.EngineMessageBox(t.get(), m.get(), c.get());
}

Text InputBox(const Text& prompt, const Text& buttonCaption, bool* dismissed) {
  Buffer p(prompt), c(buttonCaption);
  int32_t flag = 0;
  Text text = TakeText(gEngine.EngineInputBox(p.get(), c.get(), &flag));
  *dismissed = flag != 0;
  return text;
}

void SystemBox(const Text& title, const Text& message) {
  Buffer t(title), m(message);
  gEngine.SystemMessageBox(t.get(), m.get());
}

Text BrowseForFolder(const Text& title, const Text& initialFolder, bool editBox) {
  Buffer t(title), f(initialFolder);
  return TakeText(gEngine.EngineBrowseForFolder(t.get(), f.get(), editBox ? 1 : 0));
}

Text DocumentsFolder() { return TakeText(gEngine.EngineDocumentsFolder()); }

}  // namespace tw::ui
