#include "ui_engine_win32/frame_win32.h"

#include <windowsx.h>

#include <algorithm>
#include <utility>

#include "ui_engine_win32/focus_win32.h"
#include "ui_engine_win32/paint_win32.h"

namespace tw::engine {
namespace {

constexpr wchar_t kFrameClass[] = L"TarnwickEngineFrame";

BOOL CALLBACK NoteShownFrame(HWND window, LPARAM found) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (IsWindowVisible(window) && wcscmp(name, kFrameClass) == 0) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK RescaleChild(HWND child, LPARAM change) {
  const auto& [from, to] = *reinterpret_cast<const std::pair<Dpi, Dpi>*>(change);
  if (Control* control = ControlOfWindow(child)) control->DpiChanged(from, to);
  return TRUE;
}

}  // namespace

bool FrameWindow::Create(HWND owner, int left, int top, int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  SetBasePlace(left, top, width, height);
  if (!CreateOwn(kFrameClass, WS_POPUP | WS_CLIPCHILDREN | WS_MINIMIZEBOX | WS_SYSMENU,
                 WS_EX_APPWINDOW, left, top, width, height, owner)) {
    return false;
  }
  // The monitor is known once the window exists; it is not shown yet. The
  // size is scaled as a whole: nothing sits beside the window to meet.
  dpi_ = Dpi(GetDpiForWindow(Window()));
  if (dpi_ != Dpi()) {
    SetWindowPos(Window(), nullptr, dpi_.Px(left), dpi_.Px(top), dpi_.Px(width), dpi_.Px(height),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return true;
}

void FrameWindow::MoveToDpi(Dpi dpi, const RECT& suggested) {
  const std::pair<Dpi, Dpi> change{dpi_, dpi};
  dpi_ = dpi;
  // The system's rectangle keeps the window under the pointer that dragged it.
  SetWindowPos(Window(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  // Parents come before their children, which are placed within them.
  EnumChildWindows(Window(), RescaleChild, reinterpret_cast<LPARAM>(&change));
  RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void FrameWindow::SetTitle(const std::u16string& title) {
  title_ = Wide(title);
  // The taskbar shows the window's own text.
  SetWindowTextW(Window(), title_.c_str());
  InvalidateRect(Window(), nullptr, FALSE);
}

void FrameWindow::SetBackground(std::string_view bytes) {
  // Kept, not drawn: the skin's plain body is what an empty or undecodable
  // image shows too.
  background_ = std::string(bytes);
  InvalidateRect(Window(), nullptr, FALSE);
}

void FrameWindow::ShowNow() {
  ShowWindow(Window(), SW_SHOW);
  SetForegroundWindow(Window());
  UpdateWindow(Window());
}

void FrameWindow::SetBusy(bool busy) {
  if (busy_ == busy) return;
  busy_ = busy;
  // The pointer changes now, not only when it next moves.
  POINT at{};
  GetCursorPos(&at);
  HWND under = WindowFromPoint(at);
  if (under == Window() || IsChild(Window(), under)) {
    SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  }
}

void FrameWindow::SetCloseHot(bool hot) {
  if (closeHot_ == hot) return;
  closeHot_ = hot;
  RECT client{};
  GetClientRect(Window(), &client);
  const RECT close = CloseButtonRect(client, dpi_);
  InvalidateRect(Window(), &close, FALSE);
}

LRESULT FrameWindow::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = Window();
  switch (message) {
    case WM_ERASEBKGND: {
      // The flat toolbar is see-through and asks its parent for the background.
      RECT client{};
      GetClientRect(window, &client);
      PaintSkin(reinterpret_cast<HDC>(wParam), client, dpi_, title_, closeHot_);
      return 1;
    }
    case WM_PAINT:
    case WM_PRINTCLIENT:
      PaintBuffered(window, message, wParam, [this](HDC dc, const RECT& client) {
        PaintSkin(dc, client, dpi_, title_, closeHot_);
      });
      return 0;
    case WM_NCHITTEST:
      return SkinHitTest(window, lParam, dpi_);
    case WM_SETCURSOR:
      if (busy_) {
        SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
        return TRUE;
      }
      break;
    case WM_MOUSEMOVE: {
      RECT client{};
      GetClientRect(window, &client);
      const RECT close = CloseButtonRect(client, dpi_);
      const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      SetCloseHot(PtInRect(&close, at) != FALSE);
      TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
      TrackMouseEvent(&track);
      return 0;
    }
    case WM_MOUSELEAVE:
      SetCloseHot(false);
      return 0;
    case WM_LBUTTONDOWN:
      closePressed_ = closeHot_;
      if (closePressed_) SetCapture(window);
      return 0;
    case WM_LBUTTONUP:
      if (closePressed_) {
        closePressed_ = false;
        ReleaseCapture();
        if (closeHot_) PostMessageW(window, WM_CLOSE, 0, 0);
      }
      return 0;
    case WM_ACTIVATE:
      // Not the window itself: it takes no keys of its own. Minimised, nothing does.
      if (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0) RestoreFocus(window);
      return 0;
    case WM_SETFOCUS:
      RestoreFocus(window);
      return 0;
    case WM_DPICHANGED:
      MoveToDpi(Dpi(HIWORD(wParam)), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE:
      ShowWindow(window, SW_HIDE);
      Emit(UI_EVENT_CLOSED);
      return 0;
    default:
      break;
  }
  return OwnWindowControl::WindowMessage(message, wParam, lParam);
}

HWND ShownFrame() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), NoteShownFrame, reinterpret_cast<LPARAM>(&found));
  return found;
}

Dpi DpiOf(HWND window) {
  HWND root = GetAncestor(window, GA_ROOT);
  if (auto* frame = dynamic_cast<FrameWindow*>(ControlOfWindow(root))) return frame->WindowDpi();
  return Dpi(root != nullptr ? GetDpiForWindow(root) : GetDpiForSystem());
}

bool ShowBusyCursor(HWND window) {
  auto* frame = dynamic_cast<FrameWindow*>(ControlOfWindow(GetAncestor(window, GA_ROOT)));
  if (frame == nullptr || !frame->Busy()) return false;
  SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
  return true;
}

}  // namespace tw::engine
