#include "ui_engine_win32/face_label_win32.h"

#include <oleacc.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "ui_engine_win32/accessible_win32.h"
#include "ui_engine_win32/frame_win32.h"
#include "ui_engine_win32/paint_win32.h"

namespace tw::engine {
namespace {

struct FaceColors {
  COLORREF top, bottom, border;
};

constexpr FaceColors kRest{RGB(0xfe, 0xfe, 0xff), RGB(0xdd, 0xe3, 0xeb), RGB(0x96, 0xa3, 0xb5)};
constexpr FaceColors kHighlight{RGB(0xe6, 0xf2, 0xff), RGB(0x9c, 0xc8, 0xff),
                                RGB(0x1f, 0x6f, 0xd6)};
constexpr FaceColors kDisabled{RGB(0xee, 0xee, 0xee), RGB(0xe2, 0xe2, 0xe2), RGB(0xbb, 0xbb, 0xbb)};

}  // namespace

LRESULT PointerControl::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = Window();
  switch (message) {
    case WM_MOUSEMOVE:
      if (!inside_) {
        inside_ = true;
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
        TrackMouseEvent(&track);
        Emit(UI_EVENT_HOVER, 1);
      }
      return 0;
    case WM_MOUSELEAVE:
      if (inside_) {
        inside_ = false;
        Emit(UI_EVENT_HOVER, 0);
      }
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      pressed_ = true;
      SetCapture(window);
      return 0;
    case WM_LBUTTONUP: {
      if (!pressed_) return 0;
      pressed_ = false;
      ReleaseCapture();
      RECT client{};
      GetClientRect(window, &client);
      const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (PtInRect(&client, at)) Emit(UI_EVENT_CLICK);
      return 0;
    }
    case WM_ENABLE:
      // A disabled control does not react to the pointer, so a hover it had ends unreported.
      if (wParam == FALSE) inside_ = false;
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    default:
      return OwnWindowControl::WindowMessage(message, wParam, lParam);
  }
}

LRESULT PaintedControl::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      PaintBuffered(Window(), message, wParam,
                    [this](HDC dc, const RECT& client) { Draw(dc, client); });
      return 0;
    case WM_SETCURSOR:
      if (ShowBusyCursor(Window())) return TRUE;
      SetCursor(LoadCursorW(nullptr, Cursor()));
      return TRUE;
    default:
      return PointerControl::WindowMessage(message, wParam, lParam);
  }
}

bool FaceBox::Create(HWND parent, int left, int top, int width, int height) {
  return CreateOwn(L"TarnwickEngineFace", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, left, top,
                   width, height, parent);
}

int32_t FaceBox::SetProperty(int32_t property, const UiValue& value) {
  if (property != UI_PROP_BACKGROUND) return Control::SetProperty(property, value);
  // Kept, not decoded: the face draws its own gradient in any case.
  image_ = ReadByteView(value.text);
  return 1;
}

std::u16string FaceBox::ShownName() const {
  for (HWND child = GetWindow(Window(), GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    // A caption's window text is its text.
    if (dynamic_cast<TextLabel*>(ControlOfWindow(child)) != nullptr)
      return Units(WindowText(child));
  }
  return {};
}

void FaceBox::HoverLevelChanged() {
  // The caption shows the face through itself, so it is drawn again as well.
  RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void FaceBox::Draw(HDC dc, const RECT& client) const {
  DrawParentBehind(Window(), dc);
  const bool enabled = IsWindowEnabled(Window()) != FALSE;
  const double share =
      enabled ? std::clamp(HoverLevel(), 0, kFullHighlight) / static_cast<double>(kFullHighlight)
              : 0.0;
  FaceColors colors = kDisabled;
  if (enabled) {
    colors = {Blend(kRest.top, kHighlight.top, share),
              Blend(kRest.bottom, kHighlight.bottom, share),
              Blend(kRest.border, kHighlight.border, share)};
  }
  const Dpi dpi = DpiOf(Window());
  const int corner = dpi.Px(14);
  HRGN outline = CreateRoundRectRgn(client.left + 1, client.top + 1, client.right, client.bottom,
                                    corner, corner);
  SelectClipRgn(dc, outline);
  FillVertical(dc, client, colors.top, colors.bottom);
  SelectClipRgn(dc, nullptr);
  // The border thickens with the highlight so the level stays visible: by one
  // pixel at 96 DPI, in as many steps as the screen has pixels for it.
  HBRUSH border = CreateSolidBrush(colors.border);
  const int thickness = dpi.Px(1) + static_cast<int>(std::lround(share * dpi.Px(1)));
  FrameRgn(dc, outline, border, thickness, thickness);
  DeleteObject(border);
  DeleteObject(outline);
}

bool TextLabel::Create(HWND parent, bool caption, int left, int top, int width, int height) {
  caption_ = caption;
  return CreateOwn(L"TarnwickEngineLabel", WS_CHILD | WS_VISIBLE, 0, left, top, width, height,
                   parent);
}

int32_t TextLabel::SetProperty(int32_t property, const UiValue& value) {
  if (property != UI_PROP_TEXT) return Control::SetProperty(property, value);
  std::wstring text = Wide(ReadUnits(value.text));
  if (text == text_) return 1;  // nothing new to draw or announce
  text_ = std::move(text);
  // Window tools read the window's own text.
  SetWindowTextW(Window(), text_.c_str());
  InvalidateRect(Window(), nullptr, FALSE);
  // The text is the name, or beside a name the program gave.
  if (Named()) {
    TellDescriptionChanged(Window());
  } else {
    TellNameChanged(Window());
  }
  if (Live()) TellLiveRegionChanged(Window());
  // A face is named by its caption.
  if (caption_) TellNameChanged(GetParent(Window()));
  return 1;
}

LONG TextLabel::AccessibleRole() const {
  if (caption_) return ROLE_SYSTEM_PUSHBUTTON;
  return Live() ? ROLE_SYSTEM_STATUSBAR : ROLE_SYSTEM_STATICTEXT;
}

LRESULT TextLabel::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(Window(), nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
      // A button takes the focus when clicked, as the keyboard leaves it there.
      if (caption_) SetFocus(Window());
      break;
    case kPressFromScreenReader:
      if (caption_ && EnabledWithin(Window())) Press();
      return 0;
    default:
      break;
  }
  return PaintedControl::WindowMessage(message, wParam, lParam);
}

int32_t TextLabel::GetProperty(int32_t property, UiValue* value) {
  if (property != UI_PROP_TEXT) return Control::GetProperty(property, value);
  value->text = NewTextBuffer(Units(text_));
  return 1;
}

void TextLabel::Draw(HDC dc, const RECT& client) const {
  DrawParentBehind(Window(), dc);
  SetBkMode(dc, TRANSPARENT);
  const bool enabled = IsWindowEnabled(Window()) != FALSE;
  SetTextColor(dc, enabled ? RGB(0x1a, 0x1a, 0x1a) : RGB(0x8c, 0x8c, 0x8c));
  const Dpi dpi = DpiOf(Window());
  HGDIOBJ oldFont = SelectObject(dc, caption_ ? CaptionFont(dpi) : UiFont(dpi));
  RECT area = client;
  // Paths and messages are shown as written: no "&" prefixes.
  const UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX |
                      (caption_ ? DT_CENTER : DT_LEFT | DT_PATH_ELLIPSIS);
  DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &area, format);
  SelectObject(dc, oldFont);
  if (caption_ && GetFocus() == Window()) DrawFocusMark(dc, client, 4, dpi);
}

}  // namespace tw::engine
