#include "tests/ui_engine_win32/main_window_shape.h"

#include <chrono>
#include <string>

#include "tests/ui_engine_win32/engine_driver.h"

namespace tw::testing {
namespace {

int32_t Record(void* context, int32_t code, int32_t a, int32_t, int32_t, int32_t) {
  static_cast<EventLog*>(context)->events.emplace_back(code, a);
  return 0;
}

struct ButtonPlace {
  RECT face, caption;  // left, top, width, height
};
const ButtonPlace kButtons[3] = {{{64, 64, 120, 57}, {1, 2, 117, 54}},
                                 {{200, 64, 112, 56}, {1, 2, 110, 53}},
                                 {{328, 64, 120, 56}, {1, 2, 118, 53}}};

HWND gLastFocused = nullptr;
LONG gLastChild = CHILDID_SELF;

void CALLBACK NoteFocus(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
  if (object != OBJID_CLIENT) return;
  gLastFocused = window;
  gLastChild = child;
}

}  // namespace

int EventLog::Count(int32_t code) const {
  int count = 0;
  for (const auto& event : events) count += event.first == code ? 1 : 0;
  return count;
}

MainWindowShape::MainWindowShape(EventLog* log) {
  window = CreateControl_Window(0, 50, 50, 522, 442, nullptr, nullptr);
  SetText(window, L"Tarnwick");
  toolbar = CreateControl_Toolbar(window, 1, 32, 517, 28, Record, log);
  EngineText about(L"关于"), help(L"帮助");
  InsertButton_Toolbar(toolbar, -1, about.get());
  InsertButton_Toolbar(toolbar, -1, help.get());
  const wchar_t* names[3] = {L"选定下载", L"取消下载", L"选择保存位置"};
  for (const int i : {2, 0, 1}) {
    const RECT f = kButtons[i].face, c = kButtons[i].caption;
    faces[i] = CreateControl_PictureBox(window, f.left, f.top, f.right, f.bottom, nullptr, nullptr);
    captions[i] = CreateControl_Label(faces[i], c.left, c.top, c.right, c.bottom, Record, log);
    SetText(captions[i], names[i]);
  }
  folderLine = CreateControl_Label(window, 16, 128, 496, 24, nullptr, nullptr);
  list = CreateControl_ListView(window, 16, 152, 496, 240, nullptr, nullptr);
  status = CreateControl_Label(window, 8, 400, 192, 26, nullptr, nullptr);
  bar = CreateControl_ProgressBar(window, 256, 400, 256, 32, nullptr, nullptr);
  EngineText column(L"系统镜像");
  InsertColumn_ListView(list, -1, column.get(), 200);
  InsertItem_ListView(list, -1);
  InsertItem_ListView(list, -1);
  SetNumber(list, UI_PROP_SELECTED_ROW, 0);
  ControlShow(window);

  frame = TopWindowOf(window);
  toolbarWindow = WindowOfControl(frame, toolbar);
  folderWindow = WindowOfControl(frame, folderLine);
  listWindow = WindowOfControl(frame, list);
  statusWindow = WindowOfControl(frame, status);
  barWindow = WindowOfControl(frame, bar);
  for (int i = 0; i < 3; ++i) {
    faceWindows[i] = WindowOfControl(frame, faces[i]);
    captionWindows[i] = WindowOfControl(frame, captions[i]);
  }
  // Shown, the window is made the active one; the focus follows into it.
  PumpUntil([&] { return GetForegroundWindow() == frame && GetFocus() != nullptr; },
            std::chrono::seconds(5));
}

MainWindowShape::~MainWindowShape() {
  ControlDestroy(window);
  EngineProcessMessages();
}

FocusListener::FocusListener()
    : hook_(SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, NoteFocus,
                            GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT)) {
  gLastFocused = nullptr;
  gLastChild = CHILDID_SELF;
}

FocusListener::~FocusListener() {
  if (hook_ != nullptr) UnhookWinEvent(hook_);
}

int FocusListener::ButtonFocusedIn(HWND toolbar) {
  return gLastFocused == toolbar && gLastChild != CHILDID_SELF ? gLastChild - 1 : -1;
}

void PressKey(UINT key, bool repeated) {
  HWND focus = GetFocus();
  // Bit 30 says the key was already down: a key held and repeating.
  const LPARAM flags = 1 | (repeated ? LPARAM{1} << 30 : 0);
  PostMessageW(focus, WM_KEYDOWN, key, flags);
  PostMessageW(focus, WM_KEYUP, key, 1 | (LPARAM{3} << 30));
  EngineProcessMessages();
}

void PressKeyWith(UINT modifier, UINT key) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[modifier] = 0x80;
  SetKeyboardState(keys);
  PressKey(key);
  keys[modifier] = 0;
  SetKeyboardState(keys);
}

}  // namespace tw::testing
