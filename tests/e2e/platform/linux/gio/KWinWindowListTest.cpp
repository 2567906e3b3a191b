// The windows KWin tells its scripts, through a stand-in for KWin's script loader on the bus.
#include "platform/linux/gio/KWinWindowList.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/BackgroundProgram.h"
#include "support/Services.h"

namespace {

using namespace std::chrono_literals;

const std::string FAKE_KWIN = std::string(VESK_SOURCE_DIR) + "/tests/services/fake-kwin.py";

// Waits until the stand-in owns KWin's name.
void waitForKWin(KWinWindowList& windows) {
  for (auto deadline = std::chrono::steady_clock::now() + 10s;
       !windows.available() && std::chrono::steady_clock::now() < deadline;) {
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_TRUE(windows.available()) << "the stand-in for KWin did not come up";
}

TEST(KWinWindowListE2e, TheScriptsAnswerGivesTheWindowsAndTheActiveOne) {
  requireServices();
  KWinWindowList windows(2000ms);
  EXPECT_FALSE(windows.available());
  const long self = static_cast<long>(getpid());
  BackgroundProgram kwin("/usr/bin/python3",
                         {FAKE_KWIN, R"([{"pid": 4242, "resourceClass": "konsole",
      "resourceName": "konsole", "desktopFileName": "org.kde.konsole", "minimized": true,
      "active": false}, {"pid": )" + std::to_string(self) + R"(, "resourceClass": "kate",
      "resourceName": "kate", "desktopFileName": "org.kde.kate", "active": true}])"});
  waitForKWin(windows);
  // Twice: a question unloads its script, or KWin refuses the next one under the same name.
  for (int round = 0; round < 2; ++round) {
    auto front = windows.activeWindow();
    ASSERT_TRUE(front) << "round " << round;
    EXPECT_EQ(front->pid, self);
    EXPECT_EQ(front->wmClass, "kate");
    EXPECT_EQ(front->gtkAppId, "org.kde.kate");
    EXPECT_FALSE(front->executable.empty());
  }
  auto all = windows.appWindows();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].pid, 4242);
  EXPECT_EQ(all[0].wmInstance, "konsole");
  EXPECT_TRUE(all[0].hidden);
}

TEST(KWinWindowListE2e, NoAnswerWithinTheLimitIsNoWindow) {
  requireServices();
  KWinWindowList windows(300ms);
  BackgroundProgram kwin("/usr/bin/python3", {FAKE_KWIN, "--silent"});
  waitForKWin(windows);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(windows.activeWindow());
  EXPECT_TRUE(windows.appWindows().empty());
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}

}  // namespace
