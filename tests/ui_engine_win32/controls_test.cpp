// Controls written and read through the engine, from the UI thread and from
// others, checked against what their windows really hold.
// clang-format off
#include <windows.h>  // before the other Win32 headers, which need its types
#include <commctrl.h>
// clang-format on
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/ui_engine_win32/engine_driver.h"

namespace tw::testing {
namespace {

using namespace std::chrono_literals;

int32_t Ignore(void*, int32_t, int32_t, int32_t, int32_t, int32_t) { return 0; }

class EngineControls : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartEngineHere()) << "the engine did not start";
    window_ = CreateControl_Window(0, 50, 50, 522, 442, Ignore, nullptr);
    ASSERT_NE(window_, 0);
    frame_ = TopWindowOf(window_);
    ASSERT_NE(frame_, nullptr) << "the window carries no UiEngine_Control";
  }
  void TearDown() override {
    if (window_ != 0) ControlDestroy(window_);
    EngineProcessMessages();
  }

  UiControl window_ = 0;
  HWND frame_ = nullptr;
};

// The download thread writes the status line and the bar while the UI thread
// runs its loop: the writes must reach the windows, and reads must answer.
TEST_F(EngineControls, WritesFromAnotherThreadReachTheControls) {
  const UiControl label = CreateControl_Label(window_, 8, 400, 192, 26, Ignore, nullptr);
  const UiControl bar = CreateControl_ProgressBar(window_, 256, 400, 256, 32, Ignore, nullptr);
  ASSERT_NE(label, 0);
  ASSERT_NE(bar, 0);

  std::atomic<bool> done{false};
  std::wstring readBack;
  int64_t barRead = -1;
  std::thread worker([&] {
    SetText(label, L"42%    1.5MB/s    630MB");
    SetNumber(bar, UI_PROP_VALUE, 42);
    readBack = GetText(label);
    barRead = GetNumber(bar, UI_PROP_VALUE);
    done = true;
  });
  const bool finished = PumpUntil([&] { return done.load(); }, 10s);
  worker.join();
  ASSERT_TRUE(finished) << "the worker's calls were never run on the UI thread";

  EXPECT_EQ(readBack, L"42%    1.5MB/s    630MB");
  EXPECT_EQ(barRead, 42);
  EXPECT_EQ(TextOf(WindowOfControl(frame_, label)), L"42%    1.5MB/s    630MB");
  EXPECT_EQ(SendMessageW(WindowOfControl(frame_, bar), PBM_GETPOS, 0, 0), 42);
}

TEST_F(EngineControls, ProgressPositionsOutsideTheRangeShowAsItsEnds) {
  const UiControl bar = CreateControl_ProgressBar(window_, 256, 400, 256, 32, Ignore, nullptr);
  HWND barWindow = WindowOfControl(frame_, bar);
  SetNumber(bar, UI_PROP_VALUE, 250);
  EXPECT_EQ(SendMessageW(barWindow, PBM_GETPOS, 0, 0), 100);
  SetNumber(bar, UI_PROP_VALUE, -3);
  EXPECT_EQ(SendMessageW(barWindow, PBM_GETPOS, 0, 0), 0);
}

// The catalog keeps each image's share link in a column the user never sees.
TEST_F(EngineControls, HiddenColumnKeepsItsTextsUnseen) {
  const UiControl list = CreateControl_ListView(window_, 16, 152, 496, 240, Ignore, nullptr);
  ASSERT_NE(list, 0);
  EngineText name(L"名称"), size(L"大小"), link(L"链接");
  EXPECT_EQ(InsertColumn_ListView(list, -1, name.get(), 300), 0);
  EXPECT_EQ(InsertColumn_ListView(list, -1, size.get(), 150), 1);
  EXPECT_EQ(InsertColumn_ListView(list, -1, link.get(), 0), 2);
  EXPECT_EQ(GetColumnWidth_ListView(list, 0), 300);
  EXPECT_EQ(GetColumnWidth_ListView(list, 2), 0);

  HWND listWindow = WindowOfControl(frame_, list);
  ASSERT_NE(listWindow, nullptr);
  EXPECT_EQ(SendMessageW(listWindow, LVM_GETCOLUMNWIDTH, 2, 0), 0) << "the link column shows";

  ASSERT_EQ(InsertItem_ListView(list, -1), 0);
  ASSERT_EQ(InsertItem_ListView(list, -1), 1);
  const std::wstring longLink = L"https://cloud.example.org/t/" + std::wstring(600, L'x');
  EngineText first(L"Windows 10 2004 64位"), second(L"4.1 GB"), hidden(longLink);
  SetItemTitle_ListView(list, 1, 0, first.get());
  SetItemTitle_ListView(list, 1, 1, second.get());
  SetItemTitle_ListView(list, 1, 2, hidden.get());

  EXPECT_EQ(GetNumber(list, UI_PROP_ROW_COUNT), 2);
  EXPECT_EQ(TakeText(GetItemTitle_ListView(list, 1, 0)), L"Windows 10 2004 64位");
  EXPECT_EQ(TakeText(GetItemTitle_ListView(list, 1, 2)), longLink) << "a long link is cut";
  EXPECT_EQ(TakeText(GetItemTitle_ListView(list, 0, 1)), L"");
  EXPECT_EQ(TakeText(GetItemTitle_ListView(list, 5, 0)), L"") << "a row that does not exist";

  wchar_t text[64] = {};
  LVITEMW item{};
  item.iSubItem = 1;
  item.pszText = text;
  item.cchTextMax = 64;
  SendMessageW(listWindow, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&item));
  EXPECT_STREQ(text, L"4.1 GB") << "the list window holds another text than the engine reads";
}

TEST_F(EngineControls, SelectedRowIsWhatTheListShows) {
  const UiControl list = CreateControl_ListView(window_, 16, 152, 496, 240, Ignore, nullptr);
  EngineText name(L"名称");
  InsertColumn_ListView(list, -1, name.get(), 300);
  for (int row = 0; row < 4; ++row) InsertItem_ListView(list, -1);
  EXPECT_EQ(GetNumber(list, UI_PROP_SELECTED_ROW), -1);
  SetNumber(list, UI_PROP_SELECTED_ROW, 2);
  EXPECT_EQ(GetNumber(list, UI_PROP_SELECTED_ROW), 2);
  EXPECT_EQ(SendMessageW(WindowOfControl(frame_, list), LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                         LVNI_SELECTED),
            2);
  SetNumber(list, UI_PROP_SELECTED_ROW, -1);
  EXPECT_EQ(GetNumber(list, UI_PROP_SELECTED_ROW), -1);
}

// A caption inside a face takes the clicks and the pointer's coming and going.
TEST_F(EngineControls, CaptionReportsClicksAndHover) {
  struct Events {
    int clicks = 0;
    int lastHover = -1;
  } events;
  auto record = [](void* context, int32_t code, int32_t a, int32_t, int32_t, int32_t) -> int32_t {
    auto* seen = static_cast<Events*>(context);
    if (code == UI_EVENT_CLICK) ++seen->clicks;
    if (code == UI_EVENT_HOVER) seen->lastHover = a;
    return 0;
  };
  const UiControl face = CreateControl_PictureBox(window_, 64, 64, 120, 57, Ignore, nullptr);
  const UiControl caption = CreateControl_Label(face, 1, 2, 117, 54, record, &events);
  ASSERT_NE(caption, 0);
  HWND captionWindow = WindowOfControl(frame_, caption);
  ASSERT_NE(captionWindow, nullptr);
  EXPECT_EQ(GetParent(captionWindow), WindowOfControl(frame_, face));

  SendMessageW(captionWindow, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(events.lastHover, 1);
  SendMessageW(captionWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  SendMessageW(captionWindow, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(events.clicks, 1);
  // Released outside: no click, as with any button.
  SendMessageW(captionWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  SendMessageW(captionWindow, WM_LBUTTONUP, 0, MAKELPARAM(500, 10));
  EXPECT_EQ(events.clicks, 1);
  SendMessageW(captionWindow, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(events.lastHover, 0);

  // Levels are kept as written, outside 0..8 too: the slides count on it.
  ControlSetHoverLevel(face, 11);
  EXPECT_EQ(ControlGetHoverLevel(face), 11);
  ControlSetEnabled(face, 0);
  EXPECT_EQ(ControlGetEnabled(face), 0);
  EXPECT_EQ(ControlGetEnabled(caption), 1) << "the caption keeps its own state";
}

TEST_F(EngineControls, ToolbarButtonsReportTheirIndex) {
  int clicked = -1;
  auto record = [](void* context, int32_t code, int32_t a, int32_t, int32_t, int32_t) -> int32_t {
    if (code == UI_EVENT_TOOLBAR) *static_cast<int*>(context) = a;
    return 0;
  };
  const UiControl bar = CreateControl_Toolbar(window_, 1, 32, 517, 28, record, &clicked);
  EngineText about(L"关于"), help(L"帮助");
  EXPECT_EQ(InsertButton_Toolbar(bar, -1, about.get()), 0);
  EXPECT_EQ(InsertButton_Toolbar(bar, -1, help.get()), 1);
  HWND barWindow = WindowOfControl(frame_, bar);
  ASSERT_NE(barWindow, nullptr);
  TBBUTTON button{};
  ASSERT_TRUE(SendMessageW(barWindow, TB_GETBUTTON, 1, reinterpret_cast<LPARAM>(&button)));
  SendMessageW(frame_, WM_COMMAND, MAKEWPARAM(button.idCommand, BN_CLICKED),
               reinterpret_cast<LPARAM>(barWindow));
  EXPECT_EQ(clicked, 1);
}

// The program may destroy a control from inside that control's own event: its
// handle is dead at once, its window goes once the event has returned.
TEST_F(EngineControls, ControlDestroyedInItsOwnClickGoesAfterTheEvent) {
  struct Destroyer {
    UiControl self = 0;
    int clicks = 0;
  } state;
  auto destroy = [](void* context, int32_t code, int32_t, int32_t, int32_t, int32_t) -> int32_t {
    auto* seen = static_cast<Destroyer*>(context);
    if (code != UI_EVENT_CLICK) return 0;
    ++seen->clicks;
    ControlDestroy(seen->self);
    return 0;
  };
  state.self = CreateControl_Label(window_, 16, 128, 496, 24, destroy, &state);
  SetText(state.self, L"D:\\");
  HWND labelWindow = WindowOfControl(frame_, state.self);
  ASSERT_NE(labelWindow, nullptr);
  SendMessageW(labelWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(labelWindow, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(state.clicks, 1);
  EXPECT_EQ(GetText(state.self), L"<none>") << "the handle outlived ControlDestroy";
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(labelWindow); }, 5s))
      << "the label's window was never destroyed";
}

}  // namespace
}  // namespace tw::testing
