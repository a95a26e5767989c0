#include "ui_engine_win32/common_controls_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "ui_engine_common/captions.h"
#include "ui_engine_common/list_rules.h"
#include "ui_engine_win32/accessible_win32.h"
#include "ui_engine_win32/frame_win32.h"
#include "ui_engine_win32/paint_win32.h"
#include "ui_engine_win32/taskbar_win32.h"
#include "ui_engine_win32/ui_thread_win32.h"

namespace tw::engine {
namespace {

HWND MakeSystemWindow(const wchar_t* className, DWORD style, HWND parent, int left, int top,
                      int width, int height) {
  return CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | style, left, top,
                         std::max(width, 0), std::max(height, 0), parent, nullptr, ModuleInstance(),
                         nullptr);
}

}  // namespace

void StartCommonControls() {
  // The manifest in the engine's resources asks for version 6; a process
  // whose own manifest does not would get the old, unthemed controls.
  ACTCTXW context{};
  context.cbSize = sizeof(context);
  context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.hModule = ModuleInstance();
  context.lpResourceName = MAKEINTRESOURCEW(2);
  HANDLE activation = CreateActCtxW(&context);
  if (activation != INVALID_HANDLE_VALUE) {
    ULONG_PTR cookie = 0;
    // Stays active for the life of the UI thread.
    ActivateActCtx(activation, &cookie);
  }
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES |
                                                    ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&classes);
}

bool ProgressBar::Create(HWND parent, int left, int top, int width, int height) {
  HWND window = MakeSystemWindow(PROGRESS_CLASSW, PBS_SMOOTH, parent, left, top, width, height);
  if (window == nullptr) return false;
  SendMessageW(window, PBM_SETRANGE32, 0, 100);
  SendMessageW(window, PBM_SETPOS, 0, 0);
  Attach(window);
  WatchSystemWindow(window);
  return true;
}

int32_t ProgressBar::Position() const {
  return static_cast<int32_t>(SendMessageW(Window(), PBM_GETPOS, 0, 0));
}

void ProgressBar::SetPosition(int32_t position) {
  SendMessageW(Window(), PBM_SETPOS, static_cast<WPARAM>(position), 0);
  if (TaskState() != UI_TASK_NONE) ShowTask();
}

int32_t ProgressBar::Maximum() const {
  return static_cast<int32_t>(SendMessageW(Window(), PBM_GETRANGE, FALSE, 0));
}

void ProgressBar::SetMaximum(int32_t maximum) {
  SendMessageW(Window(), PBM_SETRANGE32, 0, maximum);
  if (TaskState() != UI_TASK_NONE) ShowTask();
}

void ProgressBar::TaskStateChanged() {
  const int32_t state = TaskState();
  const WPARAM look = state == UI_TASK_PAUSED   ? PBST_PAUSED
                      : state == UI_TASK_FAILED ? PBST_ERROR
                                                : PBST_NORMAL;
  SendMessageW(Window(), PBM_SETSTATE, look, 0);
  ShowTask();
}

void ProgressBar::ShowTask() { ShowTaskbarProgress(Window(), TaskState(), Position(), Maximum()); }

bool ToolBar::Create(HWND parent, int left, int top, int width, int height) {
  HWND window = MakeSystemWindow(
      TOOLBARCLASSNAMEW,
      TBSTYLE_FLAT | TBSTYLE_LIST | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, parent, left,
      top, width, height);
  if (window == nullptr) return false;
  SendMessageW(window, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(window, TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
  UseFont(window, UiFont(DpiOf(parent)));
  Attach(window);
  WatchSystemWindow(window);
  return true;
}

int32_t ToolBar::InsertButton(int32_t position, const std::u16string& caption) {
  const int32_t index =
      InsertionPoint(position, static_cast<int32_t>(SendMessageW(Window(), TB_BUTTONCOUNT, 0, 0)));
  std::wstring shown = Wide(DoubleAmpersands(caption));
  TBBUTTON button{};
  button.iBitmap = I_IMAGENONE;
  button.idCommand = nextCommand_++;
  button.fsState = TBSTATE_ENABLED;
  button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
  button.iString = reinterpret_cast<INT_PTR>(shown.c_str());
  if (!SendMessageW(Window(), TB_INSERTBUTTONW, static_cast<WPARAM>(index),
                    reinterpret_cast<LPARAM>(&button))) {
    return -1;
  }
  return index;
}

void ToolBar::DpiChanged(Dpi from, Dpi to) {
  Control::DpiChanged(from, to);
  UseFont(Window(), UiFont(to));
  // The buttons fit their captions in the new font.
  SendMessageW(Window(), TB_AUTOSIZE, 0, 0);
}

LRESULT ToolBar::Command(WPARAM wParam, LPARAM) {
  const auto index =
      static_cast<int32_t>(SendMessageW(Window(), TB_COMMANDTOINDEX, LOWORD(wParam), 0));
  if (index >= 0) Emit(UI_EVENT_TOOLBAR, index);
  return 0;
}

LRESULT ToolBar::Notify(NMHDR* header) {
  if (header->code != NM_CUSTOMDRAW) return 0;
  // The system draws each button; the focused one gets the mark over it.
  auto* draw = reinterpret_cast<NMTBCUSTOMDRAW*>(header);
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      return CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPOSTPAINT: {
      const auto index =
          static_cast<int>(SendMessageW(Window(), TB_COMMANDTOINDEX, draw->nmcd.dwItemSpec, 0));
      if (index >= 0 && index == FocusedButton()) {
        DrawFocusMark(draw->nmcd.hdc, draw->nmcd.rc, 1, DpiOf(Window()));
      }
      return CDRF_DODEFAULT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

LRESULT ToolBar::SystemMessage(UINT message, WPARAM, LPARAM, bool* handled) {
  *handled = false;
  if (message == WM_KILLFOCUS) {
    // The toolbar's own highlight of the button the keyboard was on goes too.
    SendMessageW(Window(), TB_SETHOTITEM, static_cast<WPARAM>(-1), 0);
    Repaint();
  }
  return 0;
}

void ToolBar::Repaint() {
  // The flat toolbar is see-through: its parent paints behind the buttons,
  // which takes an old mark away.
  InvalidateRect(Window(), nullptr, TRUE);
}

int ToolBar::ButtonCount() const {
  return static_cast<int>(SendMessageW(Window(), TB_BUTTONCOUNT, 0, 0));
}

RECT ToolBar::ButtonArea(int index) const {
  RECT area{};
  SendMessageW(Window(), TB_GETITEMRECT, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(&area));
  return area;
}

bool ToolBar::ButtonEnabled(int index) const {
  TBBUTTON button{};
  if (!SendMessageW(Window(), TB_GETBUTTON, static_cast<WPARAM>(index),
                    reinterpret_cast<LPARAM>(&button))) {
    return false;
  }
  return SendMessageW(Window(), TB_ISBUTTONENABLED, static_cast<WPARAM>(button.idCommand), 0) != 0;
}

void ToolBar::FocusButton(int index) {
  focusedButton_ = index;
  if (GetFocus() != Window()) SetFocus(Window());
  // The toolbar highlights the button the keyboard is on as it would under the pointer.
  SendMessageW(Window(), TB_SETHOTITEM, static_cast<WPARAM>(index), 0);
  Repaint();
  TellButtonFocused(Window(), index);
}

void ToolBar::PressFocusedButton() {
  const int index = FocusedButton();
  if (index >= 0 && ButtonEnabled(index)) Emit(UI_EVENT_TOOLBAR, index);
}

EngineTimer::~EngineTimer() { KillTimer(MessageWindow(), static_cast<UINT_PTR>(Handle())); }

void EngineTimer::SetIntervalMs(int32_t intervalMs) {
  if (intervalMs <= 0) {
    KillTimer(MessageWindow(), static_cast<UINT_PTR>(Handle()));
    return;
  }
  SetTimer(MessageWindow(), static_cast<UINT_PTR>(Handle()), static_cast<UINT>(intervalMs),
           nullptr);
}

void TimerTicked(UiControl handle) {
  if (auto* timer = FindAs<EngineTimer>(handle)) timer->Tick();
}

}  // namespace tw::engine
