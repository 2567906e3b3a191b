// The paste through mutter's own remote desktop service, into a GTK entry on a headless mutter
// (tests/services/wayland-session.sh mutter).
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "landing/lander/PasteKeystroke.h"
#include "platform/linux/atspi/AtspiWindowList.h"
#include "platform/linux/wayland/RemoteDesktopInput.h"
#include "support/Eventually.h"
#include "support/Run.h"
#include "support/WaylandLane.h"

namespace {

using namespace std::chrono_literals;

// True once the process's window is the front one again.
bool frontAgain(long pid) {
  AtspiWindowList windows;
  return eventually(
      [&] {
        auto front = windows.activeWindow();
        return front && front->pid == pid;
      },
      5s, 100ms);
}

TEST(MutterLaneRemoteDesktop, PastesIntoTheFocusedEntryWithOneSession) {
  if (!inWaylandLane("mutter")) GTEST_SKIP() << "runs inside the headless mutter session";
  auto window = openEntryWindow();
  RemoteDesktopInput input;
  ASSERT_TRUE(input.available());
  auto keys = input.pasteKeys();
  ASSERT_TRUE(keys);
  // The first post starts the session and wakes its keyboard; the clipboard takes a client
  // only once the seat has one. wl-copy takes the focus for a moment to set it.
  ASSERT_TRUE(input.post({}));
  ASSERT_EQ(runProgram("/bin/sh", {"-c", "wl-copy --type 'text/plain;charset=utf-8' MUTTER-CLIP "
                                         ">/dev/null 2>&1"}).status, 0);
  ASSERT_TRUE(frontAgain(window->pid()));
  const auto steps = pasteSteps(*keys, pasteKeyCode(*keys), false);
  for (const std::string pasted : {"MUTTER-CLIP", "MUTTER-CLIPMUTTER-CLIP"}) {
    ASSERT_TRUE(input.post(steps));
    EXPECT_TRUE(window->waitForLine(
        [&](const std::string& l) { return l == "changed plain '" + pasted + "'"; }, 5s))
        << testing::PrintToString(window->lines());
  }
}

}  // namespace
