// The engine's own boxes, in the window's skin and modal to it: the message
// box with the buttons the program names, and the input box.
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "ui_engine_common/captions.h"
#include "ui_engine_common/engine_hooks.h"
#include "ui_engine_win32/control_win32.h"
#include "ui_engine_win32/frame_win32.h"
#include "ui_engine_win32/paint_win32.h"

namespace tw::engine {
namespace {

constexpr wchar_t kBoxClass[] = L"TarnwickEngineBox";
// Sizes at 96 DPI; a box is drawn at the DPI of the window it belongs to.
constexpr int kMargin = 14;
constexpr int kButtonHeight = 28;
constexpr int kFirstButton = 100;
constexpr int kMaxTextWidth = 460;

// One open box; its window procedure reaches it through the window.
struct Box {
  HWND window = nullptr;
  Dpi dpi = DpiOf(ShownFrame());
  std::wstring title;
  std::wstring message;
  RECT messageArea{};
  int result = -1;  // the pressed button, -1 while none
  bool done = false;
  bool closeHot = false;
  HWND edit = nullptr;  // the input box's field
  std::wstring typed;
};

std::wstring ButtonText(const std::wstring& caption) {
  return Wide(DoubleAmpersands(Units(caption)));
}

SIZE TextSize(const std::wstring& text, HFONT font, int maxWidth, UINT format) {
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, font);
  RECT area{0, 0, maxWidth, 0};
  DrawTextW(screen, text.empty() ? L" " : text.c_str(),
            text.empty() ? 1 : static_cast<int>(text.size()), &area,
            format | DT_CALCRECT | DT_NOPREFIX);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  return SIZE{area.right, area.bottom};
}

// An answer that arrives as a sent message (a click from a tool, from another
// thread) leaves the box's GetMessage waiting: a posted message wakes it.
void Finish(Box* box) {
  box->done = true;
  PostMessageW(box->window, WM_NULL, 0, 0);
}

LRESULT CALLBACK BoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* box = reinterpret_cast<Box*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (box == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      PaintBuffered(window, message, wParam, [box](HDC dc, const RECT& client) {
        PaintSkin(dc, client, box->dpi, box->title, box->closeHot);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0x1a, 0x1a, 0x1a));
        HGDIOBJ old = SelectObject(dc, UiFont(box->dpi));
        RECT area = box->messageArea;
        DrawTextW(dc, box->message.c_str(), static_cast<int>(box->message.size()), &area,
                  DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
        SelectObject(dc, old);
      });
      return 0;
    case WM_NCHITTEST:
      return SkinHitTest(window, lParam, box->dpi);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      SetBkColor(reinterpret_cast<HDC>(wParam), kSkinBody);
      return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
    case WM_MOUSEMOVE: {
      RECT client{};
      GetClientRect(window, &client);
      const RECT close = CloseButtonRect(client, box->dpi);
      const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      const bool hot = PtInRect(&close, at) != FALSE;
      if (hot != box->closeHot) {
        box->closeHot = hot;
        InvalidateRect(window, &close, FALSE);
      }
      TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
      TrackMouseEvent(&track);
      return 0;
    }
    case WM_MOUSELEAVE:
      box->closeHot = false;
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_LBUTTONUP:
      if (box->closeHot) PostMessageW(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id == IDCANCEL) {
        Finish(box);
      } else if (id == IDOK || id >= kFirstButton) {
        // Enter presses the first button.
        box->result = id == IDOK ? 0 : id - kFirstButton;
        Finish(box);
      }
      return 0;
    }
    case WM_CLOSE:
      Finish(box);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

HWND MakeChild(const Box& box, const wchar_t* className, const std::wstring& text, DWORD style,
               int id, const RECT& place) {
  HWND child =
      CreateWindowExW(0, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, place.left,
                      place.top, place.right - place.left, place.bottom - place.top, box.window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ModuleInstance(), nullptr);
  UseFont(child, UiFont(box.dpi));
  return child;
}

// Opens the box window over the shown frame, centred on it.
bool OpenBox(Box& box, int width, int height) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  if (!GetClassInfoExW(ModuleInstance(), kBoxClass, &windowClass)) {
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = BoxProcedure;
    windowClass.hInstance = ModuleInstance();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kBoxClass;
    RegisterClassExW(&windowClass);
  }
  HWND owner = ShownFrame();
  RECT around{};
  if (owner != nullptr) {
    GetWindowRect(owner, &around);
  } else {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
  }
  const int left = (around.left + around.right - width) / 2;
  const int top = (around.top + around.bottom - height) / 2;
  box.window =
      CreateWindowExW(WS_EX_CONTROLPARENT, kBoxClass, box.title.c_str(), WS_POPUP | WS_CLIPCHILDREN,
                      left, top, width, height, owner, nullptr, ModuleInstance(), &box);
  return box.window != nullptr;
}

// Runs the box until it is answered. The program's windows take no input
// meanwhile; a quit request closes the box and is handed on to the loop outside.
void RunBox(Box& box, HWND focus) {
  HWND owner = GetWindow(box.window, GW_OWNER);
  const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  ShowWindow(box.window, SW_SHOW);
  UpdateWindow(box.window);
  if (focus != nullptr) SetFocus(focus);
  MSG message{};
  while (!box.done) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));
      box.result = -1;
      break;
    }
    if (got < 0) break;
    if (IsDialogMessageW(box.window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (box.edit != nullptr) box.typed = WindowText(box.edit);
  if (ownerWasEnabled) EnableWindow(owner, TRUE);
  DestroyWindow(box.window);
  box.window = nullptr;
  if (ownerWasEnabled) SetForegroundWindow(owner);
}

}  // namespace

int ShowMessageBox(const std::u16string& title, const std::u16string& message,
                   const std::u16string& captions) {
  Box box;
  const Dpi& d = box.dpi;
  const HFONT font = UiFont(d);
  box.title = Wide(title);
  box.message = Wide(message);
  std::vector<std::wstring> pieces;
  for (const std::u16string& piece : SplitCaptions(captions)) pieces.push_back(Wide(piece));
  std::vector<int> buttonWidths;
  int buttonsWidth = 0;
  for (const std::wstring& piece : pieces) {
    const int width =
        std::max<int>(d.Px(80), TextSize(piece, font, 1000, DT_SINGLELINE).cx + d.Px(24));
    buttonWidths.push_back(width);
    buttonsWidth += width + d.Px(8);
  }
  const SIZE text = TextSize(box.message, font, d.Px(kMaxTextWidth), DT_WORDBREAK | DT_EDITCONTROL);
  const int titleWidth = TextSize(box.title, font, 1000, DT_SINGLELINE).cx + d.Px(kCloseWidth + 30);
  const int margin = d.Px(kMargin), textTop = d.Px(kTitleHeight + 16);
  const int contentWidth =
      std::max({static_cast<int>(text.cx), buttonsWidth, titleWidth - 2 * margin, d.Px(240)});
  const int width = contentWidth + 2 * margin;
  const int buttonHeight = d.Px(kButtonHeight), bottomMargin = d.Px(12);
  const int height = textTop + text.cy + d.Px(16) + buttonHeight + bottomMargin;
  box.messageArea = RECT{margin, textTop, margin + contentWidth, textTop + text.cy};
  if (!OpenBox(box, width, height)) return -1;
  int right = width - margin + d.Px(8);
  HWND first = nullptr;
  for (size_t index = pieces.size(); index-- > 0;) {
    right -= buttonWidths[index] + d.Px(8);
    const RECT place{right, height - bottomMargin - buttonHeight, right + buttonWidths[index],
                     height - bottomMargin};
    const DWORD style = WS_TABSTOP | (index == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    HWND button = MakeChild(box, L"BUTTON", ButtonText(pieces[index]), style,
                            kFirstButton + static_cast<int>(index), place);
    if (index == 0) first = button;
  }
  RunBox(box, first);
  return box.result;
}

std::u16string ShowInputBox(const std::u16string& prompt, const std::u16string& buttonCaption,
                            bool* dismissed) {
  Box box;
  const Dpi& d = box.dpi;
  const HFONT font = UiFont(d);
  box.title = Wide(prompt);
  const std::wstring caption = Wide(buttonCaption);
  const int buttonWidth =
      std::max<int>(d.Px(80), TextSize(caption, font, 1000, DT_SINGLELINE).cx + d.Px(24));
  const int titleWidth = TextSize(box.title, font, 1000, DT_SINGLELINE).cx + d.Px(kCloseWidth + 30);
  const int margin = d.Px(kMargin), gap = d.Px(8), buttonHeight = d.Px(kButtonHeight);
  const int width = std::max(titleWidth, 2 * margin + d.Px(260) + gap + buttonWidth);
  const int top = d.Px(kTitleHeight + 16);
  const int height = top + buttonHeight + d.Px(16);
  if (!OpenBox(box, width, height)) {
    if (dismissed != nullptr) *dismissed = true;
    return {};
  }
  // The field's id is below the buttons': its notifications answer nothing.
  box.edit = MakeChild(box, L"EDIT", L"", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 50,
                       RECT{margin, top, width - margin - gap - buttonWidth, top + buttonHeight});
  MakeChild(box, L"BUTTON", ButtonText(caption), WS_TABSTOP | BS_DEFPUSHBUTTON, kFirstButton,
            RECT{width - margin - buttonWidth, top, width - margin, top + buttonHeight});
  RunBox(box, box.edit);
  if (dismissed != nullptr) *dismissed = box.result != 0;
  return Units(box.typed);
}

}  // namespace tw::engine
