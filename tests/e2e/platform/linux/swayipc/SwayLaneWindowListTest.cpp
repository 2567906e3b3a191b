// The front app on a real headless sway: what the lander's focus rests on there.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "platform/linux/swayipc/SwayWindowList.h"
#include "support/BackgroundProgram.h"
#include "support/Eventually.h"

namespace {

using namespace std::chrono_literals;

TEST(SwayLaneWindowList, TheFrontAppIsTheFocusedWindowsProcess) {
  const char* lane = std::getenv("VESK_WAYLAND_LANE");
  if (!lane || std::string(lane) != "sway") GTEST_SKIP() << "runs inside the sway session";
  SwayWindowList windows;
  ASSERT_TRUE(windows.available()) << "sway's IPC socket does not answer";
  BackgroundProgram target("/usr/bin/python3",
                           {std::string(VESK_SOURCE_DIR) + "/tests/services/entry-window.py"});
  std::optional<AppWindow> front;
  eventually([&] { return (front = windows.activeWindow()) && front->pid == target.pid(); }, 10s);
  ASSERT_TRUE(front);
  EXPECT_EQ(front->pid, target.pid());
  EXPECT_EQ(front->gtkAppId, "entry-window.py");
  EXPECT_NE(front->executable.find("python3"), std::string::npos);
  const auto all = windows.appWindows();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all.front().pid, target.pid());
}

}  // namespace
