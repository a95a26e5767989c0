// The window from the keyboard alone: Tab and Shift+Tab through the stops in
// reading order, Enter and Space pressing what has the focus as a click
// would, the focus mark, and where the focus goes when the control under it is
// disabled or a box has closed. Keys reach the focused window as the
// keyboard's do, through the UI thread's queue.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "tests/ui_engine_win32/engine_driver.h"
#include "tests/ui_engine_win32/main_window_shape.h"

namespace tw::testing {
namespace {

using namespace std::chrono_literals;

class EngineKeyboard : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(StartEngineHere()) << "the engine did not start"; }
};

// Where the focus is, as a screen reader hears it: a window, and within the
// toolbar a button of it.
struct Stop {
  HWND window;
  int button;
  bool operator==(const Stop&) const = default;
};

Stop Focused(HWND toolbar) {
  HWND focus = GetFocus();
  return {focus, focus == toolbar ? FocusListener::ButtonFocusedIn(toolbar) : -1};
}

// The window's pixels as it draws them.
std::vector<COLORREF> Pixels(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ old = SelectObject(memory, bitmap);
  PrintWindow(window, memory, PW_CLIENTONLY);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < client.bottom; ++y) {
    for (int x = 0; x < client.right; ++x) pixels.push_back(GetPixel(memory, x, y));
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

TEST_F(EngineKeyboard, TabGoesThroughTheStopsInReadingOrderAndShiftTabBack) {
  FocusListener listener;
  EventLog log;
  MainWindowShape w(&log);
  ASSERT_NE(w.frame, nullptr);
  const std::vector<Stop> stops = {{w.toolbarWindow, 0},      {w.toolbarWindow, 1},
                                   {w.captionWindows[0], -1}, {w.captionWindows[1], -1},
                                   {w.captionWindows[2], -1}, {w.listWindow, -1}};
  // The window opens with the focus on its first stop.
  EXPECT_TRUE(PumpUntil([&] { return Focused(w.toolbarWindow) == stops[0]; }, 2s))
      << "the first toolbar button did not get the focus";
  for (size_t tabs = 1; tabs <= stops.size(); ++tabs) {
    PressKey(VK_TAB);
    EXPECT_TRUE(
        PumpUntil([&] { return Focused(w.toolbarWindow) == stops[tabs % stops.size()]; }, 2s))
        << "after " << tabs << " Tabs";
  }
  PressKeyWith(VK_SHIFT, VK_TAB);
  EXPECT_EQ(GetFocus(), w.listWindow);
  PressKeyWith(VK_SHIFT, VK_TAB);
  EXPECT_EQ(GetFocus(), w.captionWindows[2]);

  // A busy button is passed over; the labels and the bar are never stops.
  ControlSetEnabled(w.faces[1], 0);
  SetFocus(w.captionWindows[0]);
  PressKey(VK_TAB);
  EXPECT_EQ(GetFocus(), w.captionWindows[2]);
  // Ctrl+Tab is not Tab.
  PressKeyWith(VK_CONTROL, VK_TAB);
  EXPECT_EQ(GetFocus(), w.captionWindows[2]);
}

TEST_F(EngineKeyboard, EnterOrSpaceOnAFocusedButtonIsItsClick) {
  FocusListener listener;
  EventLog log;
  MainWindowShape w(&log);
  SetFocus(w.captionWindows[0]);
  log.events.clear();
  PressKey(VK_RETURN);
  PressKey(VK_SPACE);
  // Held down, Enter presses once; with Ctrl or Shift it means something else.
  PressKey(VK_RETURN, true);
  PressKeyWith(VK_CONTROL, VK_RETURN);
  PressKeyWith(VK_SHIFT, VK_SPACE);
  EXPECT_EQ(log.Count(UI_EVENT_CLICK), 2);
  EXPECT_EQ(log.events.size(), 2u);

  // Back from the first caption to the last toolbar button.
  SetFocus(w.captionWindows[0]);
  PressKeyWith(VK_SHIFT, VK_TAB);
  ASSERT_TRUE(PumpUntil([&] { return FocusListener::ButtonFocusedIn(w.toolbarWindow) == 1; }, 2s));
  log.events.clear();
  PressKey(VK_RETURN);
  PressKey(VK_SPACE);
  ASSERT_EQ(log.events.size(), 2u);
  for (const auto& [code, index] : log.events) {
    EXPECT_EQ(code, UI_EVENT_TOOLBAR);
    EXPECT_EQ(index, 1);
  }
}

TEST_F(EngineKeyboard, OnlyTheFocusedStopShowsTheFocusMark) {
  FocusListener listener;
  EventLog log;
  MainWindowShape w(&log);
  SetFocus(w.captionWindows[2]);
  const std::vector<COLORREF> captionWithout = Pixels(w.captionWindows[1]);
  const std::vector<COLORREF> toolbarWithout = Pixels(w.toolbarWindow);
  SetFocus(w.captionWindows[1]);
  EXPECT_NE(Pixels(w.captionWindows[1]), captionWithout);
  // Shift+Tab from the first caption comes to the last toolbar button.
  SetFocus(w.captionWindows[0]);
  PressKeyWith(VK_SHIFT, VK_TAB);
  ASSERT_EQ(GetFocus(), w.toolbarWindow);
  EXPECT_NE(Pixels(w.toolbarWindow), toolbarWithout);
}

TEST_F(EngineKeyboard, TheFocusMovesOnFromADisabledButtonAndComesBackAfterABox) {
  EventLog log;
  MainWindowShape w(&log);
  // Pressing "选定下载" makes the window busy: its face is disabled under the focus.
  SetFocus(w.captionWindows[0]);
  ControlSetEnabled(w.list, 0);
  ControlSetEnabled(w.faces[0], 0);
  EXPECT_EQ(GetFocus(), w.captionWindows[1]);
  ControlSetEnabled(w.faces[0], 1);
  EXPECT_EQ(GetFocus(), w.captionWindows[1]);

  // A box takes the keyboard while it is open and gives it back.
  BoxAnswerer user([](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); });
  EngineText title(L"下载完成"), message(L"下载完成"), captions(L"确认");
  EngineMessageBox(title.get(), message.get(), captions.get());
  ASSERT_TRUE(user.Found());
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == w.captionWindows[1]; }, 2s))
      << "the focus did not come back to the caption it left";
}

}  // namespace
}  // namespace tw::testing
