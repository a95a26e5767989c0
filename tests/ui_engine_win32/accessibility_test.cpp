// What screen readers learn of the window through Active Accessibility, asked
// as they ask it (the window's object for its client area), and what they are
// told as it changes.
// clang-format off
#include <windows.h>  // before the other Win32 headers, which need its types
#include <oleacc.h>
// clang-format on
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/ui_engine_win32/engine_driver.h"
#include "tests/ui_engine_win32/main_window_shape.h"

namespace tw::testing {
namespace {

using namespace std::chrono_literals;

// A control's object as a screen reader gets it; released when it goes.
class Accessible {
 public:
  explicit Accessible(HWND window) {
    AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                               reinterpret_cast<void**>(&object_));
  }
  ~Accessible() {
    if (object_ != nullptr) object_->Release();
  }
  Accessible(const Accessible&) = delete;
  Accessible& operator=(const Accessible&) = delete;

  bool Found() const { return object_ != nullptr; }
  std::wstring Name(LONG child = CHILDID_SELF) const {
    return Text(&IAccessible::get_accName, child);
  }
  std::wstring Description() const { return Text(&IAccessible::get_accDescription, CHILDID_SELF); }
  LONG Role() const { return Number(&IAccessible::get_accRole); }
  LONG State() const { return Number(&IAccessible::get_accState); }
  HRESULT Press() const { return object_->accDoDefaultAction(Self()); }

 private:
  static VARIANT Self(LONG child = CHILDID_SELF) {
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = child;
    return self;
  }
  std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*),
                    LONG child) const {
    if (object_ == nullptr) return L"<no object>";
    BSTR text = nullptr;
    (object_->*get)(Self(child), &text);
    std::wstring result = text != nullptr ? text : L"";
    SysFreeString(text);
    return result;
  }
  LONG Number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*)) const {
    if (object_ == nullptr) return -1;
    VARIANT value;
    VariantInit(&value);
    (object_->*get)(Self(), &value);
    return value.vt == VT_I4 ? value.lVal : -1;
  }

  IAccessible* object_ = nullptr;
};

// What a screen reader is told of the client areas, in order.
struct Told {
  DWORD event;
  HWND window;
};
std::vector<Told> gTold;

void CALLBACK NoteTold(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG, DWORD, DWORD) {
  if (object == OBJID_CLIENT) gTold.push_back({event, window});
}

int TimesTold(DWORD event, HWND window) {
  int count = 0;
  for (const Told& told : gTold) count += told.event == event && told.window == window ? 1 : 0;
  return count;
}

void SetName(UiControl control, const std::wstring& name) {
  EngineText text(name);
  UiValue value{0, const_cast<UiText*>(text.get())};
  ControlSendMessage(control, UI_MSG_SET, UI_PROP_ACCESSIBLE_NAME, &value);
}

class EngineAccessibility : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartEngineHere()) << "the engine did not start";
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    gTold.clear();
  }
};

TEST_F(EngineAccessibility, EveryControlHasAName) {
  EventLog log;
  MainWindowShape w(&log);
  SetName(w.list, L"系统镜像列表");
  SetName(w.bar, L"下载进度");
  SetName(w.folderLine, L"保存位置");
  SetText(w.folderLine, L"C:\\Users\\user\\Documents\\下载的系统镜像");

  const wchar_t* captions[3] = {L"选定下载", L"取消下载", L"选择保存位置"};
  for (int i = 0; i < 3; ++i) {
    Accessible caption(w.captionWindows[i]);
    ASSERT_TRUE(caption.Found()) << "no object for the caption " << i;
    EXPECT_EQ(caption.Name(), captions[i]);
    EXPECT_EQ(caption.Role(), ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_NE(caption.State() & STATE_SYSTEM_FOCUSABLE, 0);
    // The face around it is called the same.
    EXPECT_EQ(Accessible(w.faceWindows[i]).Name(), captions[i]);
  }
  EXPECT_EQ(Accessible(w.listWindow).Name(), L"系统镜像列表");
  EXPECT_EQ(Accessible(w.barWindow).Name(), L"下载进度");
  Accessible folder(w.folderWindow);
  EXPECT_EQ(folder.Name(), L"保存位置");
  // The folder itself is offered beside the name.
  EXPECT_EQ(folder.Description(), L"C:\\Users\\user\\Documents\\下载的系统镜像");
  EXPECT_EQ(folder.Role(), ROLE_SYSTEM_STATICTEXT);
  EXPECT_EQ(Accessible(w.frame).Name(), L"Tarnwick");
  // The list and the bar carry their names as window texts too, where tools
  // that read no objects look.
  EXPECT_EQ(TextOf(w.listWindow), L"系统镜像列表");
  // Read back through the engine, a name is the one screen readers get.
  UiValue value{0, nullptr};
  ControlSendMessage(w.faces[1], UI_MSG_GET, UI_PROP_ACCESSIBLE_NAME, &value);
  EXPECT_EQ(TakeText(value.text), L"取消下载");
}

TEST_F(EngineAccessibility, TheStatusLineIsAnnouncedWhenItChanges) {
  EventLog log;
  MainWindowShape w(&log);
  SetText(w.status, L"0B/s    00:00:00    -");
  SetNumber(w.status, UI_PROP_LIVE, 1);
  SetName(w.folderLine, L"保存位置");
  EXPECT_EQ(Accessible(w.statusWindow).Role(), ROLE_SYSTEM_STATUSBAR);

  HWINEVENTHOOK hook =
      SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_LIVEREGIONCHANGED, nullptr, NoteTold,
                      GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  SetText(w.status, L"10%   18MB/s   500MB");
  SetText(w.status, L"10%   18MB/s   500MB");  // nothing new to announce
  SetText(w.folderLine, L"D:\\");
  PumpUntil([&] { return TimesTold(EVENT_OBJECT_DESCRIPTIONCHANGE, w.folderWindow) > 0; }, 2s);
  UnhookWinEvent(hook);

  EXPECT_EQ(TimesTold(EVENT_OBJECT_NAMECHANGE, w.statusWindow), 1);
  EXPECT_EQ(TimesTold(EVENT_OBJECT_LIVEREGIONCHANGED, w.statusWindow), 1);
  EXPECT_EQ(Accessible(w.statusWindow).Name(), L"10%   18MB/s   500MB");
  // A named label's text is not its name: the folder line tells a new description.
  EXPECT_EQ(TimesTold(EVENT_OBJECT_DESCRIPTIONCHANGE, w.folderWindow), 1);
  EXPECT_EQ(TimesTold(EVENT_OBJECT_NAMECHANGE, w.folderWindow), 0);
  EXPECT_EQ(TimesTold(EVENT_OBJECT_LIVEREGIONCHANGED, w.folderWindow), 0);
}

TEST_F(EngineAccessibility, AScreenReaderPressesACaptionAsAClick) {
  EventLog log;
  MainWindowShape w(&log);
  Accessible caption(w.captionWindows[0]);
  log.events.clear();
  EXPECT_EQ(caption.Press(), S_OK);
  EXPECT_TRUE(PumpUntil([&] { return log.Count(UI_EVENT_CLICK) == 1; }, 2s))
      << "the press did not reach the program as a click";
  // Not while the window is busy with it.
  ControlSetEnabled(w.faces[0], 0);
  EXPECT_NE(caption.State() & STATE_SYSTEM_UNAVAILABLE, 0);
  EXPECT_NE(caption.Press(), S_OK);
  EngineProcessMessages();
  EXPECT_EQ(log.Count(UI_EVENT_CLICK), 1);
}

}  // namespace
}  // namespace tw::testing
