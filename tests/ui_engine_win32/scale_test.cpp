// The program writes its window for a 96-DPI screen. On a screen of another
// DPI the engine draws the same window larger, every control in proportion
// and its text in fonts of that DPI, while the program reads back the numbers
// it wrote. The test prefix runs at 96 DPI; the other DPIs reach the window as
// the system tells a window of its move to another monitor.
// clang-format off
#include <windows.h>  // before the other Win32 headers, which need its types
#include <commctrl.h>
// clang-format on
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "tests/ui_engine_win32/engine_driver.h"

namespace tw::testing {
namespace {

int32_t Ignore(void*, int32_t, int32_t, int32_t, int32_t, int32_t) { return 0; }

struct Base {
  int left, top, width, height;
};

// The main window's controls, as the program places them.
constexpr Base kWindow{50, 50, 522, 442};
constexpr Base kToolbar{1, 32, 517, 28};
constexpr Base kFace{64, 64, 120, 57};
constexpr Base kCaption{1, 2, 117, 54};
constexpr Base kFolderLabel{16, 128, 496, 24};
constexpr Base kList{16, 152, 496, 240};
constexpr Base kStatus{8, 400, 192, 26};
constexpr Base kProgressCaption{200, 400, 56, 26};
constexpr Base kBar{256, 400, 256, 32};
constexpr int kColumn = 213;  // odd, so that its pixels round at 120 and 144 DPI

int Px(int base, UINT dpi) { return MulDiv(base, static_cast<int>(dpi), 96); }

RECT Scaled(const Base& b, UINT dpi) {
  return RECT{Px(b.left, dpi), Px(b.top, dpi), Px(b.left + b.width, dpi),
              Px(b.top + b.height, dpi)};
}

::testing::AssertionResult SamePlace(const RECT& seen, const RECT& wanted) {
  if (EqualRect(&seen, &wanted)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "at " << seen.left << "," << seen.top << " " << seen.right - seen.left << "x"
         << seen.bottom - seen.top << " instead of " << wanted.left << "," << wanted.top << " "
         << wanted.right - wanted.left << "x" << wanted.bottom - wanted.top;
}

int FontHeight(HWND window) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof(font), &font);
  return font.lfHeight;
}

class EngineScale : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartEngineHere()) << "the engine did not start";
    window_ = CreateControl_Window(0, kWindow.left, kWindow.top, kWindow.width, kWindow.height,
                                   Ignore, nullptr);
    frame_ = TopWindowOf(window_);
    ASSERT_NE(frame_, nullptr);
    ASSERT_EQ(GetDpiForWindow(frame_), 96u) << "the test prefix is not at 96 DPI";
    toolbar_ = Make(CreateControl_Toolbar, window_, kToolbar);
    EngineText about(L"关于"), help(L"帮助");
    InsertButton_Toolbar(toolbar_, -1, about.get());
    InsertButton_Toolbar(toolbar_, -1, help.get());
    face_ = Make(CreateControl_PictureBox, window_, kFace);
    caption_ = Make(CreateControl_Label, face_, kCaption);
    folderLabel_ = Make(CreateControl_Label, window_, kFolderLabel);
    list_ = Make(CreateControl_ListView, window_, kList);
    EngineText name(L"系统镜像"), link(L"链接");
    InsertColumn_ListView(list_, -1, name.get(), kColumn);
    InsertColumn_ListView(list_, -1, link.get(), 0);
    status_ = Make(CreateControl_Label, window_, kStatus);
    progressCaption_ = Make(CreateControl_Label, window_, kProgressCaption);
  }
  void TearDown() override {
    if (window_ != 0) ControlDestroy(window_);
    EngineProcessMessages();
  }

  using Creator = UiControl (*)(UiControl, int32_t, int32_t, int32_t, int32_t, UiEventCallback,
                                void*);
  UiControl Make(Creator create, UiControl parent, const Base& b) {
    const UiControl control = create(parent, b.left, b.top, b.width, b.height, Ignore, nullptr);
    placed_.push_back({control, b});
    return control;
  }

  // As the system does when the window reaches a monitor of `dpi`.
  void MoveTo(UINT dpi) {
    RECT suggested{Px(kWindow.left, dpi), Px(kWindow.top, dpi), 0, 0};
    suggested.right = suggested.left + Px(kWindow.width, dpi);
    suggested.bottom = suggested.top + Px(kWindow.height, dpi);
    SendMessageW(frame_, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  }

  // Every control made so far in the window sits where its 96-DPI place puts
  // it at `dpi`.
  void ExpectEveryPlaceAt(UINT dpi) {
    for (const auto& [control, base] : placed_) {
      HWND window = WindowOfControl(frame_, control);
      ASSERT_NE(window, nullptr);
      EXPECT_TRUE(SamePlace(PlaceInParent(window), Scaled(base, dpi)))
          << "control " << control << " at " << dpi << " DPI";
    }
  }

  struct Placed {
    UiControl control;
    Base base;
  };
  std::vector<Placed> placed_;
  UiControl window_ = 0, toolbar_ = 0, face_ = 0, caption_ = 0, folderLabel_ = 0, list_ = 0,
            status_ = 0, progressCaption_ = 0;
  HWND frame_ = nullptr;
};

TEST_F(EngineScale, EveryControlGrowsWithTheWindowAndTheProgramReadsItsOwnNumbers) {
  const int clientAt96 = static_cast<int>(GetNumber(list_, UI_PROP_CLIENT_WIDTH));
  for (UINT dpi : {96u, 120u, 144u, 192u}) {
    SCOPED_TRACE(::testing::Message() << dpi << " DPI");
    MoveTo(dpi);
    // Made after the move: placed at the window's DPI from the start.
    const UiControl bar = Make(CreateControl_ProgressBar, window_, kBar);
    ExpectEveryPlaceAt(dpi);

    RECT outer{};
    GetWindowRect(frame_, &outer);
    EXPECT_EQ(outer.right - outer.left, Px(522, dpi));
    EXPECT_EQ(outer.bottom - outer.top, Px(442, dpi));
    // 9-point text, in pixels of this DPI.
    EXPECT_EQ(FontHeight(WindowOfControl(frame_, toolbar_)), -MulDiv(9, static_cast<int>(dpi), 72));
    EXPECT_EQ(FontHeight(WindowOfControl(frame_, list_)), -MulDiv(9, static_cast<int>(dpi), 72));

    // What the program measures its columns by stays what it is at 96 DPI.
    EXPECT_EQ(GetNumber(window_, UI_PROP_CLIENT_WIDTH), 522);
    // The list's sunken edge keeps its pixels at every DPI.
    EXPECT_LE(std::abs(static_cast<int>(GetNumber(list_, UI_PROP_CLIENT_WIDTH)) - clientAt96), 2);
    EXPECT_EQ(GetColumnWidth_ListView(list_, 0), kColumn);
    EXPECT_EQ(GetColumnWidth_ListView(list_, 1), 0) << "the hidden column shows";
    EXPECT_EQ(SendMessageW(WindowOfControl(frame_, list_), LVM_GETCOLUMNWIDTH, 0, 0),
              Px(kColumn, dpi));

    ControlDestroy(bar);
    placed_.pop_back();
  }
}

// Each move starts from the program's numbers, not from the last DPI's
// rounded pixels, so moving around never shifts anything.
TEST_F(EngineScale, MovingBackToNinetySixRestoresEveryPixel) {
  for (UINT dpi : {120u, 144u, 192u, 120u, 96u}) MoveTo(dpi);
  ExpectEveryPlaceAt(96);
  EXPECT_EQ(SendMessageW(WindowOfControl(frame_, list_), LVM_GETCOLUMNWIDTH, 0, 0), kColumn);
  EXPECT_EQ(FontHeight(WindowOfControl(frame_, list_)), -12);
}

// The boxes open over the window at its DPI: their buttons, fields and
// margins grow with it.
TEST_F(EngineScale, BoxesAreDrawnAtTheWindowsDpi) {
  ControlShow(window_);
  for (UINT dpi : {96u, 144u, 192u}) {
    SCOPED_TRACE(::testing::Message() << dpi << " DPI");
    MoveTo(dpi);
    RECT box{}, button{}, field{};
    {
      BoxAnswerer user([&](HWND shown) {
        GetWindowRect(shown, &box);
        GetWindowRect(FindChild(shown, L"Button", L"确认"), &button);
        PostMessageW(shown, WM_CLOSE, 0, 0);
      });
      EngineText title(L"请您核对文件名："), path(L"D:\\win10.iso"), captions(L"确认&&取消");
      EngineMessageBox(title.get(), path.get(), captions.get());
      ASSERT_TRUE(user.Found());
    }
    // The narrowest box is 240 wide with margins of 14 at 96 DPI.
    EXPECT_LE(std::abs(box.right - box.left - (Px(240, dpi) + 2 * Px(14, dpi))), 1);
    EXPECT_EQ(button.bottom - button.top, Px(28, dpi));
    EXPECT_EQ(button.right - button.left, Px(80, dpi));
    {
      BoxAnswerer user([&](HWND shown) {
        GetWindowRect(FindChild(shown, L"Edit"), &field);
        PostMessageW(shown, WM_CLOSE, 0, 0);
      });
      EngineText prompt(L"请输入文件名："), caption(L"确认");
      int32_t dismissed = 0;
      TakeText(EngineInputBox(prompt.get(), caption.get(), &dismissed));
      ASSERT_TRUE(user.Found());
    }
    EXPECT_EQ(field.bottom - field.top, Px(28, dpi));
    EXPECT_EQ(field.right - field.left, Px(260, dpi));
  }
}

}  // namespace
}  // namespace tw::testing
