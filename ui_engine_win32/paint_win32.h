// Drawing shared by the engine's own windows: painting through a memory
// bitmap so the hover animation does not flicker, the see-through background
// of labels, and the skin of the frame and the boxes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ui_engine_win32/dpi_win32.h"

namespace tw::engine {

// Handles WM_PAINT (and WM_PRINTCLIENT, whose DC is in wParam) by drawing
// the whole client area through `draw` into a memory bitmap.
void PaintBuffered(HWND window, UINT message, WPARAM wParam,
                   const std::function<void(HDC, const RECT&)>& draw);

// Draws what the parent shows behind `window`: labels have no background.
void DrawParentBehind(HWND window, HDC dc);

void FillVertical(HDC dc, const RECT& area, COLORREF top, COLORREF bottom);
COLORREF Blend(COLORREF from, COLORREF to, double share);

// The mark of the control the keyboard's focus is on, `inset` pixels (at 96
// DPI) within `area`: dashed, so it does not pass for the hover highlight's
// solid border.
void DrawFocusMark(HDC dc, const RECT& area, int inset, Dpi dpi);

// The skin of the frame and of the engine's boxes: a body, a title bar with
// the title and a close button, a border. Sizes at 96 DPI.
constexpr int kTitleHeight = 30;
constexpr int kCloseWidth = 40;
constexpr COLORREF kSkinBody = RGB(0xf3, 0xf5, 0xf8);
void PaintSkin(HDC dc, const RECT& client, Dpi dpi, const std::wstring& title, bool closeHot);
RECT CloseButtonRect(const RECT& client, Dpi dpi);
// The hit test of a skinned window: its title bar moves it.
LRESULT SkinHitTest(HWND window, LPARAM lParam, Dpi dpi);

}  // namespace tw::engine
