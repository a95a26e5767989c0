// The real program keeps the computer awake while it downloads, through the
// login manager it finds on the system bus (here a stand-in on a bus of its
// own), and lets go when it exits in the middle of a download.
#include <gtest/gtest.h>

#include <string>

#include "tests/app/road_steps.h"
#include "tests/support/environment.h"
#include "tests/support/fake_logind.h"

namespace tw::testing {
namespace {

TEST(KeepAwakeRoad, TheProgramHoldsASleepInhibitorWhileItDownloadsAndLetsGoAtExit) {
  FakeLogind logind;
  ASSERT_FALSE(logind.address().empty()) << "no private bus";
  SetEnvironment("DBUS_SYSTEM_BUS_ADDRESS", logind.address());
  Standin standin({"--size", std::to_string(64 * 1048576), "--throttle", std::to_string(1048576)});
  Session session;
  session.UseStandin(standin);
  // Closed while the body is still arriving.
  ASSERT_EQ(session.Run(kStart + Download("awake") + "wait MB/s   [1-9]\\d*MB$ 20000\nclose\n"), 0)
      << session.StandardError();
  const auto inhibitors = logind.Inhibitors();
  ASSERT_EQ(inhibitors.size(), 1u);
  EXPECT_EQ(inhibitors[0].what, "sleep");
  EXPECT_FALSE(inhibitors[0].held);
  EXPECT_TRUE(BoxesTitled(session.record(), "下载完成").empty());
}

}  // namespace
}  // namespace tw::testing
