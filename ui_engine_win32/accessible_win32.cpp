#include "ui_engine_win32/accessible_win32.h"

#include <oleacc.h>

#include <string>

#include "ui_engine_win32/control_win32.h"

namespace tw::engine {
namespace {

// The UI Automation property that makes an element a live region, and its
// polite setting: screen readers finish what they are reading first.
constexpr GUID kLiveSettingProperty = {
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kPolite = 1;

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// Marshalling the answer to WM_GETOBJECT needs COM on the UI thread; a thread
// COM already runs on keeps its apartment.
void EnsureCom() {
  static thread_local bool started = false;
  if (started) return;
  started = true;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}

HRESULT Text(const std::u16string& text, BSTR* out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  *out = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                           static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The system's object for the window's client area, with what only the
// control knows put in. The control is looked up at each question: a screen
// reader may keep the object after the control is gone.
class ControlAccessible final : public IAccessible {
 public:
  ControlAccessible(HWND window, IAccessible* system) : window_(window), system_(system) {}
  ControlAccessible(const ControlAccessible&) = delete;
  ControlAccessible& operator=(const ControlAccessible&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }

  // IDispatch: the system object's.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return system_->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return system_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return system_->GetIDsOfNames(iid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argument) override {
    return system_->Invoke(id, iid, locale, flags, params, result, exception, argument);
  }

  // IAccessible: what the control knows...
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    Control* control = IsSelf(child) ? ControlOfWindow(window_) : nullptr;
    if (control == nullptr) return system_->get_accName(child, name);
    return Text(control->AccessibleName(), name);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    Control* control = IsSelf(child) ? ControlOfWindow(window_) : nullptr;
    if (control == nullptr || !control->Named()) {
      return system_->get_accDescription(child, description);
    }
    return Text(control->AccessibleDescription(), description);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    Control* control = IsSelf(child) ? ControlOfWindow(window_) : nullptr;
    const LONG own = control != nullptr ? control->AccessibleRole() : 0;
    if (own == 0) return system_->get_accRole(child, role);
    role->vt = VT_I4;
    role->lVal = own;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const HRESULT result = system_->get_accState(child, state);
    Control* control = IsSelf(child) ? ControlOfWindow(window_) : nullptr;
    if (FAILED(result) || control == nullptr || state->vt != VT_I4) return result;
    // A caption is out of use while its face is, though its own window is not disabled.
    if (!EnabledWithin(window_)) state->lVal |= STATE_SYSTEM_UNAVAILABLE;
    if (control->TakesFocus()) state->lVal |= STATE_SYSTEM_FOCUSABLE;
    return result;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    Control* control = IsSelf(child) ? ControlOfWindow(window_) : nullptr;
    if (control == nullptr || !control->Pressable()) return system_->accDoDefaultAction(child);
    if (!EnabledWithin(window_)) return E_FAIL;
    PostMessageW(window_, kPressFromScreenReader, 0, 0);
    return S_OK;
  }

  // ...and everything else as the system has it.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return system_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    return system_->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** found) override {
    return system_->get_accChild(child, found);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return system_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return system_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    return system_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return system_->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    return system_->get_accFocus(focus);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return system_->get_accSelection(selection);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return system_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    return system_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    return system_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return system_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG left, LONG top, VARIANT* child) override {
    return system_->accHitTest(left, top, child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return system_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return system_->put_accValue(child, value);
  }

 private:
  ~ControlAccessible() { system_->Release(); }

  HWND window_;
  IAccessible* system_;
  LONG references_ = 1;
};

void Tell(DWORD event, HWND window, LONG child = CHILDID_SELF) {
  NotifyWinEvent(event, window, OBJID_CLIENT, child);
}

}  // namespace

bool AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (static_cast<LONG>(lParam) != OBJID_CLIENT || ControlOfWindow(window) == nullptr) {
    return false;
  }
  EnsureCom();
  IAccessible* system = nullptr;
  if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, IID_IAccessible,
                                       reinterpret_cast<void**>(&system)))) {
    return false;
  }
  auto* answer = new ControlAccessible(window, system);
  *result = LresultFromObject(IID_IAccessible, wParam, answer);
  // The system holds its own reference until the reader takes the object.
  answer->Release();
  return true;
}

void TellNameChanged(HWND window) { Tell(EVENT_OBJECT_NAMECHANGE, window); }

void TellDescriptionChanged(HWND window) { Tell(EVENT_OBJECT_DESCRIPTIONCHANGE, window); }

void TellLiveRegionChanged(HWND window) { Tell(EVENT_OBJECT_LIVEREGIONCHANGED, window); }

void TellButtonFocused(HWND toolbar, int index) { Tell(EVENT_OBJECT_FOCUS, toolbar, index + 1); }

void MarkLive(HWND window) {
  EnsureCom();
  IAccPropServices* annotations = nullptr;
  if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IAccPropServices, reinterpret_cast<void**>(&annotations)))) {
    return;
  }
  VARIANT polite;
  VariantInit(&polite);
  polite.vt = VT_I4;
  polite.lVal = kPolite;
  annotations->SetHwndProp(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                           kLiveSettingProperty, polite);
  annotations->Release();
}

}  // namespace tw::engine
