// The windows KWin tells its scripts, through a stand-in for KWin's script loader on the bus that
// runs the script against windows as KWin 5 and KWin 6 show them.
#include "platform/linux/gio/KWinWindowList.h"

#include <gtest/gtest.h>

#include <chrono>

#include "support/BackgroundProgram.h"
#include "support/Eventually.h"
#include "support/Services.h"

namespace {

using namespace std::chrono_literals;

const std::string FAKE_KWIN = std::string(VESK_SOURCE_DIR) + "/tests/services/fake-kwin.py";

// Waits until the stand-in owns KWin's name.
void waitForKWin(KWinWindowList& windows) {
  ASSERT_TRUE(eventually([&] { return windows.available(); }, 10s)) << "the stand-in for KWin did not come up";
}

TEST(KWinWindowListE2e, TheScriptGivesTheWindowsAndTheActiveOneOnKWin5And6) {
  requireServices();
  const std::string self = std::to_string(getpid());
  const std::string shown = R"([
    {"pid": 4242, "resourceClass": "konsole", "resourceName": "konsole",
     "desktopFileName": "org.kde.konsole", "minimized": true, "normalWindow": true},
    {"pid": 77, "resourceClass": "plasmashell", "resourceName": "plasmashell",
     "desktopFileName": "org.kde.plasmashell", "normalWindow": false},
    {"pid": )" + self + R"(, "resourceClass": "kate", "resourceName": "kate",
     "desktopFileName": "org.kde.kate", "normalWindow": true, "active": true}])";
  for (const char* version : {"5", "6"}) {
    KWinWindowList windows(3000ms);
    EXPECT_FALSE(windows.available()) << version;
    BackgroundProgram kwin("/usr/bin/python3", {FAKE_KWIN, version, shown});
    waitForKWin(windows);
    // Twice: a question unloads its script, or KWin refuses the next one under the same name.
    for (int round = 0; round < 2; ++round) {
      auto front = windows.activeWindow();
      ASSERT_TRUE(front) << "KWin " << version << ", round " << round;
      EXPECT_EQ(front->pid, getpid());
      EXPECT_EQ(front->wmClass, "kate");
      EXPECT_EQ(front->gtkAppId, "org.kde.kate");
      EXPECT_FALSE(front->executable.empty());
    }
    auto all = windows.appWindows();
    ASSERT_EQ(all.size(), 2u) << version;
    EXPECT_EQ(all[0].pid, 4242);
    EXPECT_EQ(all[0].wmInstance, "konsole");
    EXPECT_TRUE(all[0].hidden);
  }
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
