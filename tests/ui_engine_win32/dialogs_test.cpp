// The engine's boxes, answered from a second thread through their windows
// while the UI thread waits in them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "tests/ui_engine_win32/engine_driver.h"

namespace tw::testing {
namespace {

using namespace std::chrono_literals;

class EngineBoxes : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(StartEngineHere()) << "the engine did not start"; }
};

TEST_F(EngineBoxes, SecondOfTwoButtonsGivesOne) {
  int buttons = 0;
  std::wstring shownTitle;
  BoxAnswerer user([&](HWND box) {
    buttons = CountChildren(box, L"Button");
    shownTitle = TextOf(box);
    HWND cancel = FindChild(box, L"Button", L"取消");
    if (cancel != nullptr) {
      SendMessageW(cancel, BM_CLICK, 0, 0);
    } else {
      PostMessageW(box, WM_CLOSE, 0, 0);
    }
  });
  EngineText title(L"请您核对文件名："), path(L"D:\\\\win10.iso"), captions(L"确认&&取消");
  const int32_t result = EngineMessageBox(title.get(), path.get(), captions.get());
  ASSERT_TRUE(user.Found()) << "no box window appeared";
  EXPECT_EQ(buttons, 2);
  EXPECT_EQ(shownTitle, L"请您核对文件名：");
  EXPECT_EQ(result, 1);
}

TEST_F(EngineBoxes, FirstButtonGivesZeroAndClosingGivesMinusOne) {
  {
    BoxAnswerer user([](HWND box) {
      if (HWND ok = FindChild(box, L"Button", L"确认")) SendMessageW(ok, BM_CLICK, 0, 0);
    });
    EngineText title(L"  "), message(L"你还没输入文件名，无法继续"), captions(L"确认");
    EXPECT_EQ(EngineMessageBox(title.get(), message.get(), captions.get()), 0);
    ASSERT_TRUE(user.Found());
  }
  {
    BoxAnswerer user([](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); });
    EngineText title(L"关于"), message(L"Tarnwick"), captions(L"确定");
    EXPECT_EQ(EngineMessageBox(title.get(), message.get(), captions.get()), -1);
    ASSERT_TRUE(user.Found());
  }
}

TEST_F(EngineBoxes, InputBoxGivesTheTypedTextAndWhetherItWasDismissed) {
  {
    BoxAnswerer user([](HWND box) {
      HWND field = FindChild(box, L"Edit");
      HWND button = FindChild(box, L"Button", L"确认");
      if (field == nullptr || button == nullptr) return;
      SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"win10 2004 64"));
      SendMessageW(button, BM_CLICK, 0, 0);
    });
    EngineText prompt(L"请输入文件名："), caption(L"确认");
    int32_t dismissed = 7;
    const std::wstring typed = TakeText(EngineInputBox(prompt.get(), caption.get(), &dismissed));
    ASSERT_TRUE(user.Found());
    EXPECT_EQ(typed, L"win10 2004 64");
    EXPECT_EQ(dismissed, 0);
  }
  {
    BoxAnswerer user([](HWND box) {
      if (HWND field = FindChild(box, L"Edit")) {
        SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"half typed"));
      }
      PostMessageW(box, WM_CLOSE, 0, 0);
    });
    EngineText prompt(L"请输入文件名："), caption(L"确认");
    int32_t dismissed = 0;
    TakeText(EngineInputBox(prompt.get(), caption.get(), &dismissed));
    ASSERT_TRUE(user.Found());
    EXPECT_NE(dismissed, 0);
  }
}

// Keys as the keyboard sends them to the box's focused control, from the
// user's thread; after a Tab the next key waits for the focus to have moved.
void PressInBox(HWND box, const std::vector<UINT>& keys) {
  const DWORD uiThread = GetWindowThreadProcessId(box, nullptr);
  const auto focus = [uiThread] {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(uiThread, &info);
    return info.hwndFocus;
  };
  for (const UINT key : keys) {
    HWND before = focus();
    PostMessageW(before != nullptr ? before : box, WM_KEYDOWN, key, 1);
    if (key != VK_TAB) continue;
    for (int i = 0; i < 2000 && focus() == before; ++i) Sleep(1);  // 2 s at most
  }
}

// Enter presses the first button, or the one the focus was moved to; Esc does
// what the close button does: the input box is dismissed, the confirmation not given.
TEST_F(EngineBoxes, BoxesAnswerTheKeyboardAlone) {
  const auto ask = [](const std::vector<UINT>& keys) {
    BoxAnswerer user([keys](HWND box) { PressInBox(box, keys); });
    EngineText title(L"请您核对文件名："), path(L"D:\\win10.iso"), captions(L"确认&&取消");
    const int32_t result = EngineMessageBox(title.get(), path.get(), captions.get());
    EXPECT_TRUE(user.Found());
    return result;
  };
  EXPECT_EQ(ask({VK_RETURN}), 0);
  EXPECT_EQ(ask({VK_TAB, VK_RETURN}), 1);
  EXPECT_EQ(ask({VK_ESCAPE}), -1);

  for (const auto& [key, dismissed] : {std::pair{VK_RETURN, 0}, std::pair{VK_ESCAPE, 1}}) {
    BoxAnswerer user([key = key](HWND box) {
      if (HWND field = FindChild(box, L"Edit")) {
        SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"win10"));
      }
      PressInBox(box, {static_cast<UINT>(key)});
    });
    EngineText prompt(L"请输入文件名："), caption(L"确认");
    int32_t wasDismissed = -1;
    const std::wstring typed = TakeText(EngineInputBox(prompt.get(), caption.get(), &wasDismissed));
    ASSERT_TRUE(user.Found());
    EXPECT_EQ(wasDismissed, dismissed) << "key " << key;
    if (dismissed == 0) {
      EXPECT_EQ(typed, L"win10");
    }
  }
}

// The download thread opens the completion box; it waits for the answer while
// the UI thread shows the box.
TEST_F(EngineBoxes, BoxAskedForByAnotherThreadOpensOnTheUiThread) {
  BoxAnswerer user([](HWND box) {
    if (HWND ok = FindChild(box, L"Button", L"确定")) SendMessageW(ok, BM_CLICK, 0, 0);
  });
  std::atomic<int32_t> result{-5};
  std::thread downloader([&] {
    EngineText title(L"  "), message(L"下载完成"), captions(L"确定");
    result = EngineMessageBox(title.get(), message.get(), captions.get());
  });
  const bool answered = PumpUntil([&] { return result.load() != -5; }, 15s);
  downloader.join();
  ASSERT_TRUE(user.Found()) << "the box did not open on the UI thread";
  ASSERT_TRUE(answered) << "the downloader was never answered";
  EXPECT_EQ(result.load(), 0);
}

TEST_F(EngineBoxes, DocumentsFolderIsAnAbsolutePath) {
  const std::wstring folder = TakeText(EngineDocumentsFolder());
  ASSERT_GE(folder.size(), 3u);
  EXPECT_EQ(folder.substr(1, 2), L":\\") << "not a drive path: " << folder.size();
}

}  // namespace
}  // namespace tw::testing
