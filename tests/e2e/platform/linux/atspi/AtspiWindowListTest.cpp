// The front application as the accessibility bus tells it, on a headless mutter
// (tests/services/wayland-session.sh mutter), where no other client can tell it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "platform/linux/atspi/AtspiWindowList.h"
#include "platform/linux/wayland/RemoteDesktopInput.h"
#include "support/Eventually.h"
#include "support/WaylandLane.h"

namespace {

using namespace std::chrono_literals;

TEST(MutterLaneAtspiWindows, TheEntryWindowIsTheFrontApplication) {
  if (!inWaylandLane("mutter")) GTEST_SKIP() << "runs inside the headless mutter session";
  auto window = openEntryWindow();
  // A seat without a keyboard focuses no window: the remote desktop's wake key gives it one.
  RemoteDesktopInput input;
  ASSERT_TRUE(input.post({}));

  AtspiWindowList windows;
  EXPECT_TRUE(windows.available());
  std::optional<AppWindow> front;
  eventually([&] { return (front = windows.activeWindow()) && front->pid == window->pid(); }, 3s,
             100ms);
  ASSERT_TRUE(front);
  EXPECT_EQ(front->pid, window->pid());
  EXPECT_EQ(front->wmClass, "entry-window.py");
  EXPECT_EQ(front->executable.rfind("/usr/bin/python3", 0), 0u) << front->executable;

  auto all = windows.appWindows();
  EXPECT_TRUE(std::ranges::any_of(all, [&](const AppWindow& w) {
    return w.pid == window->pid() && w.wmClass == "entry-window.py" && !w.hidden;
  }));
}

}  // namespace
