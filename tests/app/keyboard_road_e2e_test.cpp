// The whole download road from the keyboard alone, through the real program
// and its real engine on a display, keys sent through the display as a
// keyboard sends them: Tab to "选定下载", Enter, the name typed and Enter,
// Enter on the confirmation, the download from the stand-in, Enter on
// "下载完成".
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "tests/app/desktop_session.h"
#include "tests/app/road_steps.h"
#include "tests/support/standin.h"

namespace tw::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(KeyboardRoad, ADownloadStartedConfirmedAndAcknowledgedWithTheKeyboardAlone) {
  Standin standin;
  ASSERT_NE(standin.port(), 0) << "the stand-in did not start";
  // Its own name: the Windows program saves into the prefix's documents folder,
  // which other runs share.
  const std::string name = "keyboard-" + std::to_string(getpid());
  DesktopSession session;
  session.Start(standin);

  ASSERT_TRUE(session.WaitForWindow("Tarnwick", 60s));
  // The window opens with the focus on its first stop, "关于"; "选定下载" is two Tabs on.
  session.Keys({"Tab", "Tab", "Return"});
  ASSERT_TRUE(session.WaitForWindow("请输入文件名：", 30s));
  session.Type(name);
  session.Keys({"Return"});
  ASSERT_TRUE(session.WaitForWindow("请您核对文件名：", 30s));
  session.Keys({"Return"});
  ASSERT_TRUE(session.WaitForWindow("下载完成", 60s));
  session.Keys({"Return"});
  EXPECT_TRUE(session.WaitForWindow("下载完成", 30s, false));

  const fs::path file = session.DownloadedFile(name);
  EXPECT_TRUE(HoldsServedBytes(file, 1048576));
  EXPECT_NE(session.Stop(), -1) << "the program did not end when told to";
  for (const char* suffix : {"", ".sha256", ".sha1"}) fs::remove(file.string() + suffix);
}

}  // namespace
}  // namespace tw::testing
