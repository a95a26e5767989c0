#include "tests/ui_engine_win32/engine_driver.h"

#include <thread>
#include <utility>
#include <vector>

namespace tw::testing {

EngineText::EngineText(const std::wstring& text)
    : text_(MakeTextBuffer(reinterpret_cast<const uint16_t*>(text.data()),
                           static_cast<int32_t>(text.size()))) {}

EngineText::~EngineText() { ReleaseTextBuffer(text_); }

std::wstring TakeText(UiText* text) {
  if (text == nullptr) return L"<null>";
  std::wstring result;
  if (text->byteLength > 2) {
    result.assign(reinterpret_cast<const wchar_t*>(text->units), text->byteLength / 2 - 1);
  }
  ReleaseTextBuffer(text);
  return result;
}

bool StartEngineHere() {
  static const bool started = EngineStartup(GetModuleHandleW(L"UiEngine.dll")) != 0;
  return started;
}

namespace {

struct ChildSearch {
  const wchar_t* className;
  const wchar_t* text;
  UiControl control;
  std::vector<HWND> found;
};

bool ClassIs(HWND window, const wchar_t* className) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  return _wcsicmp(name, className) == 0;
}

BOOL CALLBACK NoteChild(HWND window, LPARAM state) {
  auto* search = reinterpret_cast<ChildSearch*>(state);
  if (search->control != 0) {
    if (reinterpret_cast<UiControl>(GetPropW(window, L"UiEngine_Control")) == search->control) {
      search->found.push_back(window);
    }
    return TRUE;
  }
  if (!ClassIs(window, search->className)) return TRUE;
  if (search->text != nullptr && TextOf(window) != search->text) return TRUE;
  search->found.push_back(window);
  return TRUE;
}

BOOL CALLBACK NoteTop(HWND window, LPARAM state) {
  auto* search = reinterpret_cast<ChildSearch*>(state);
  if (ClassIs(window, search->className) && IsWindowVisible(window)) {
    search->found.push_back(window);
  }
  return TRUE;
}

}  // namespace

HWND WindowOfControl(HWND root, UiControl control) {
  if (reinterpret_cast<UiControl>(GetPropW(root, L"UiEngine_Control")) == control) return root;
  ChildSearch search{nullptr, nullptr, control, {}};
  EnumChildWindows(root, NoteChild, reinterpret_cast<LPARAM>(&search));
  return search.found.empty() ? nullptr : search.found.front();
}

HWND WaitForThreadWindow(DWORD thread, const wchar_t* className, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    ChildSearch search{className, nullptr, 0, {}};
    EnumThreadWindows(thread, NoteTop, reinterpret_cast<LPARAM>(&search));
    if (!search.found.empty()) return search.found.front();
    if (std::chrono::steady_clock::now() >= deadline) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

HWND FindChild(HWND parent, const wchar_t* className, const wchar_t* text) {
  ChildSearch search{className, text, 0, {}};
  EnumChildWindows(parent, NoteChild, reinterpret_cast<LPARAM>(&search));
  return search.found.empty() ? nullptr : search.found.front();
}

int CountChildren(HWND parent, const wchar_t* className) {
  ChildSearch search{className, nullptr, 0, {}};
  EnumChildWindows(parent, NoteChild, reinterpret_cast<LPARAM>(&search));
  return static_cast<int>(search.found.size());
}

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  // WM_GETTEXT rather than GetWindowText, which does not ask another thread's windows.
  SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
  return text;
}

HWND TopWindowOf(UiControl control) {
  std::pair<UiControl, HWND> wanted{control, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM state) -> BOOL {
        auto* search = reinterpret_cast<std::pair<UiControl, HWND>*>(state);
        if (reinterpret_cast<UiControl>(GetPropW(window, L"UiEngine_Control")) == search->first) {
          search->second = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&wanted));
  return wanted.second;
}

RECT PlaceInParent(HWND window) {
  RECT place{};
  GetWindowRect(window, &place);
  if (HWND parent = GetParent(window);
      parent != nullptr && (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0) {
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
  }
  return place;
}

BoxAnswerer::BoxAnswerer(std::function<void(HWND)> act)
    : uiThread_(GetCurrentThreadId()), thread_([this, act = std::move(act)] {
        box_ = WaitForThreadWindow(uiThread_, kBoxClass, std::chrono::seconds(10));
        // With no box the UI thread would wait for ever; closing nothing is
        // harmless, and the test fails on box_ in Found.
        if (box_ != nullptr) act(box_);
      }) {}

BoxAnswerer::~BoxAnswerer() {
  if (thread_.joinable()) thread_.join();
}

bool BoxAnswerer::Found() {
  thread_.join();
  return box_ != nullptr;
}

int32_t SetText(UiControl control, const std::wstring& text) {
  EngineText buffer(text);
  UiValue value{0, buffer.mutable_get()};
  return ControlSendMessage(control, UI_MSG_SET, UI_PROP_TEXT, &value);
}

std::wstring GetText(UiControl control) {
  UiValue value{0, nullptr};
  if (ControlSendMessage(control, UI_MSG_GET, UI_PROP_TEXT, &value) == 0) return L"<none>";
  return TakeText(value.text);
}

}  // namespace tw::testing
