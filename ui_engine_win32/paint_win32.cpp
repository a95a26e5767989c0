#include "ui_engine_win32/paint_win32.h"

#include <cmath>

#include "ui_engine_win32/control_win32.h"

namespace tw::engine {

void PaintBuffered(HWND window, UINT message, WPARAM wParam,
                   const std::function<void(HDC, const RECT&)>& draw) {
  RECT client{};
  GetClientRect(window, &client);
  PAINTSTRUCT paint{};
  HDC target =
      message == WM_PRINTCLIENT ? reinterpret_cast<HDC>(wParam) : BeginPaint(window, &paint);
  HDC memory = CreateCompatibleDC(target);
  HBITMAP bitmap = CreateCompatibleBitmap(target, client.right > 0 ? client.right : 1,
                                          client.bottom > 0 ? client.bottom : 1);
  HGDIOBJ old = SelectObject(memory, bitmap);
  draw(memory, client);
  BitBlt(target, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  if (message != WM_PRINTCLIENT) EndPaint(window, &paint);
}

void DrawParentBehind(HWND window, HDC dc) {
  HWND parent = GetParent(window);
  RECT client{};
  GetClientRect(window, &client);
  if (parent == nullptr) {
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    return;
  }
  POINT origin{0, 0};
  MapWindowPoints(window, parent, &origin, 1);
  POINT previous{};
  SetViewportOrgEx(dc, -origin.x, -origin.y, &previous);
  SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  SetViewportOrgEx(dc, previous.x, previous.y, nullptr);
}

COLORREF Blend(COLORREF from, COLORREF to, double share) {
  auto mix = [share](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * share)); };
  return RGB(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
             mix(GetBValue(from), GetBValue(to)));
}

void FillVertical(HDC dc, const RECT& area, COLORREF top, COLORREF bottom) {
  TRIVERTEX corners[2] = {};
  corners[0].x = area.left;
  corners[0].y = area.top;
  corners[0].Red = static_cast<COLOR16>(GetRValue(top) << 8);
  corners[0].Green = static_cast<COLOR16>(GetGValue(top) << 8);
  corners[0].Blue = static_cast<COLOR16>(GetBValue(top) << 8);
  corners[1].x = area.right;
  corners[1].y = area.bottom;
  corners[1].Red = static_cast<COLOR16>(GetRValue(bottom) << 8);
  corners[1].Green = static_cast<COLOR16>(GetGValue(bottom) << 8);
  corners[1].Blue = static_cast<COLOR16>(GetBValue(bottom) << 8);
  GRADIENT_RECT rect{0, 1};
  GradientFill(dc, corners, 2, &rect, 1, GRADIENT_FILL_RECT_V);
}

void DrawFocusMark(HDC dc, const RECT& area, int inset, Dpi dpi) {
  // A geometric pen: a cosmetic one dashes at one pixel only.
  const LOGBRUSH ink{BS_SOLID, RGB(0x1a, 0x3f, 0x73), 0};
  HPEN dashes = ExtCreatePen(PS_GEOMETRIC | PS_DASH | PS_ENDCAP_FLAT, dpi.Px(1), &ink, 0, nullptr);
  HGDIOBJ oldPen = SelectObject(dc, dashes);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const int in = dpi.Px(inset), corner = dpi.Px(8);
  RoundRect(dc, area.left + in, area.top + in, area.right - in, area.bottom - in, corner, corner);
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(dashes);
}

RECT CloseButtonRect(const RECT& client, Dpi dpi) {
  return RECT{client.right - dpi.Px(kCloseWidth) - 1, 1, client.right - 1,
              dpi.Px(kTitleHeight) - 1};
}

void PaintSkin(HDC dc, const RECT& client, Dpi dpi, const std::wstring& title, bool closeHot) {
  HBRUSH body = CreateSolidBrush(kSkinBody);
  FillRect(dc, &client, body);
  DeleteObject(body);

  const RECT bar{client.left, client.top, client.right, client.top + dpi.Px(kTitleHeight)};
  FillVertical(dc, bar, RGB(0x2f, 0x6f, 0xb3), RGB(0x23, 0x57, 0x90));

  const RECT close = CloseButtonRect(client, dpi);
  if (closeHot) {
    HBRUSH hot = CreateSolidBrush(RGB(0xd9, 0x3a, 0x3a));
    FillRect(dc, &close, hot);
    DeleteObject(hot);
  }
  HPEN cross = CreatePen(PS_SOLID, dpi.Px(2), RGB(0xff, 0xff, 0xff));
  HGDIOBJ oldPen = SelectObject(dc, cross);
  const int cx = (close.left + close.right) / 2;
  const int cy = (close.top + close.bottom) / 2;
  // A line's last pixel is not drawn, hence the one more at the far ends.
  const int arm = dpi.Px(5);
  MoveToEx(dc, cx - arm, cy - arm, nullptr);
  LineTo(dc, cx + arm + 1, cy + arm + 1);
  MoveToEx(dc, cx - arm, cy + arm, nullptr);
  LineTo(dc, cx + arm + 1, cy - arm - 1);
  SelectObject(dc, oldPen);
  DeleteObject(cross);

  RECT text{bar.left + dpi.Px(10), bar.top, close.left - dpi.Px(4), bar.bottom};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0xff, 0xff, 0xff));
  HGDIOBJ oldFont = SelectObject(dc, UiFont(dpi));
  DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
  SelectObject(dc, oldFont);

  HPEN border = CreatePen(PS_SOLID, 1, RGB(0x1c, 0x46, 0x73));
  oldPen = SelectObject(dc, border);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, client.left, client.top, client.right, client.bottom);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(border);
}

LRESULT SkinHitTest(HWND window, LPARAM lParam, Dpi dpi) {
  POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  ScreenToClient(window, &point);
  RECT client{};
  GetClientRect(window, &client);
  const RECT close = CloseButtonRect(client, dpi);
  if (point.y >= 0 && point.y < dpi.Px(kTitleHeight) && !PtInRect(&close, point)) {
    return HTCAPTION;
  }
  return HTCLIENT;
}

}  // namespace tw::engine
