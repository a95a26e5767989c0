#include "ui_engine_win32/control_win32.h"

#include <commctrl.h>

#include <cwchar>
#include <map>
#include <utility>

#include "ui_engine_win32/accessible_win32.h"
#include "ui_engine_win32/focus_win32.h"
#include "ui_engine_win32/frame_win32.h"

namespace tw::engine {
namespace {

constexpr wchar_t kHandleProperty[] = L"UiEngine_Control";

// Handles start well above small integers so a stray index is not taken for one.
UiControl gNextHandle = 0x1000;
std::map<UiControl, Control*> gControls;

HINSTANCE gInstance = nullptr;

int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FaceInstalled(const wchar_t* face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &wanted, NoteFace, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

// One font per size, weight and DPI; a window moved between monitors comes
// back to fonts it had. UI thread only.
HFONT FontAt(int points, int weight, Dpi dpi) {
  static const wchar_t* face = FaceInstalled(L"Microsoft YaHei") ? L"Microsoft YaHei" : L"SimSun";
  static std::map<std::pair<int, UINT>, HFONT> fonts;
  HFONT& font = fonts[{points * 1000 + weight, dpi.Value()}];
  if (font == nullptr) {
    const int height = -MulDiv(points, static_cast<int>(dpi.Value()), 72);
    font = CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face);
  }
  return font;
}

}  // namespace

HINSTANCE ModuleInstance() {
  if (gInstance == nullptr) {
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ModuleInstance), &gInstance);
  }
  return gInstance;
}

int32_t Control::ClientWidth() const {
  RECT client{};
  GetClientRect(window_, &client);
  return DpiOf(window_).Base(client.right);
}

void Control::SetBasePlace(int left, int top, int width, int height) {
  basePlace_ = RECT{left, top, left + width, top + height};
}

void Control::DpiChanged(Dpi, Dpi to) {
  if (window_ == nullptr) return;
  const RECT place = to.Place(basePlace_.left, basePlace_.top, basePlace_.right - basePlace_.left,
                              basePlace_.bottom - basePlace_.top);
  SetWindowPos(window_, nullptr, place.left, place.top, place.right - place.left,
               place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::AccessibilityChanged() {
  if (window_ == nullptr) return;
  if (!ShowsWindowText()) SetWindowTextW(window_, Wide(AccessibleName()).c_str());
  TellNameChanged(window_);
  if (Live()) MarkLive(window_);
}

void Control::Attach(HWND window) {
  window_ = window;
  handle_ = gNextHandle++;
  gControls[handle_] = this;
  if (window != nullptr) SetPropW(window, kHandleProperty, reinterpret_cast<HANDLE>(handle_));
}

ControlCore* FindControlCore(UiControl handle) { return FindControl(handle); }

Control* FindControl(UiControl handle) {
  const auto found = gControls.find(handle);
  return found != gControls.end() ? found->second : nullptr;
}

Control* ControlOfWindow(HWND window) {
  if (window == nullptr) return nullptr;
  return FindControl(reinterpret_cast<UiControl>(GetPropW(window, kHandleProperty)));
}

HWND FindWindowOf(UiControl handle) {
  Control* control = FindControl(handle);
  return control != nullptr ? control->Window() : nullptr;
}

void Forget(Control* control) {
  gControls.erase(control->Handle());
  delete control;
}

namespace {

// Controls whose handles are gone but whose windows are still to be destroyed.
std::map<HWND, Control*> gDoomed;

BOOL CALLBACK ForgetOne(HWND window, LPARAM) {
  const auto handle = reinterpret_cast<UiControl>(RemovePropW(window, kHandleProperty));
  const auto found = gControls.find(handle);
  if (found != gControls.end()) {
    gDoomed[window] = found->second;
    gControls.erase(found);
  }
  return TRUE;
}

}  // namespace

void ForgetTree(HWND window) {
  EnumChildWindows(window, ForgetOne, 0);
  ForgetOne(window, 0);
}

void ControlWindowDestroyed(HWND window) {
  const auto handle = reinterpret_cast<UiControl>(RemovePropW(window, kHandleProperty));
  if (Control* control = FindControl(handle)) {
    Forget(control);
    return;
  }
  const auto doomed = gDoomed.find(window);
  if (doomed == gDoomed.end()) return;
  delete doomed->second;
  gDoomed.erase(doomed);
}

bool AnswerAlike(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* answer) {
  if (message == WM_SETFOCUS) RememberFocus(window);
  return message == WM_GETOBJECT && AnswerGetObject(window, wParam, lParam, answer);
}

LRESULT ForwardChildMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
  *handled = false;
  if (message == WM_COMMAND && lParam != 0) {
    if (Control* child = ControlOfWindow(reinterpret_cast<HWND>(lParam))) {
      *handled = true;
      return child->Command(wParam, lParam);
    }
  } else if (message == WM_NOTIFY) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    // A list's header reports through the list.
    Control* child = ControlOfWindow(header->hwndFrom);
    if (child == nullptr) child = ControlOfWindow(GetParent(header->hwndFrom));
    if (child != nullptr) {
      *handled = true;
      return child->Notify(header);
    }
  }
  return 0;
}

bool OwnWindowControl::CreateOwn(const wchar_t* className, DWORD style, DWORD exStyle, int left,
                                 int top, int width, int height, HWND parent) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  if (!GetClassInfoExW(ModuleInstance(), className, &windowClass)) {
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = ModuleInstance();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);
  }
  HWND window = CreateWindowExW(exStyle, className, L"", style, left, top, width, height, parent,
                                nullptr, ModuleInstance(), this);
  if (window == nullptr) return false;
  Attach(window);
  return true;
}

LRESULT OwnWindowControl::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(Window(), message, wParam, lParam);
}

LRESULT CALLBACK OwnWindowControl::Procedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<OwnWindowControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    ControlWindowDestroyed(window);
    return DefWindowProcW(window, message, wParam, lParam);
  }
  bool handled = false;
  const LRESULT forwarded = ForwardChildMessage(window, message, wParam, lParam, &handled);
  if (handled) return forwarded;
  // Messages before the window is attached (creation) have nobody to go to yet.
  if (self == nullptr || self->Window() != window) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  if (LRESULT answer = 0; AnswerAlike(window, message, wParam, lParam, &answer)) return answer;
  return self->WindowMessage(message, wParam, lParam);
}

namespace {

LRESULT CALLBACK WatchProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                UINT_PTR id, DWORD_PTR) {
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, WatchProcedure, id);
    ControlWindowDestroyed(window);
    return DefSubclassProc(window, message, wParam, lParam);
  }
  if (LRESULT answer = 0; AnswerAlike(window, message, wParam, lParam, &answer)) return answer;
  if (Control* control = ControlOfWindow(window)) {
    bool handled = false;
    const LRESULT answer = control->SystemMessage(message, wParam, lParam, &handled);
    if (handled) return answer;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

void WatchSystemWindow(HWND window) { SetWindowSubclass(window, WatchProcedure, 1, 0); }

bool EnabledWithin(HWND window) {
  for (HWND at = window; at != nullptr; at = GetAncestor(at, GA_PARENT)) {
    if (!IsWindowEnabled(at)) return false;
    if (GetAncestor(at, GA_ROOT) == at) break;
  }
  return window != nullptr;
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

HFONT UiFont(Dpi dpi) { return FontAt(9, FW_NORMAL, dpi); }

HFONT CaptionFont(Dpi dpi) { return FontAt(11, FW_BOLD, dpi); }

void UseFont(HWND window, HFONT font) {
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

}  // namespace tw::engine
