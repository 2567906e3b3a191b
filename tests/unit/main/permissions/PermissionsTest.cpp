#include <gtest/gtest.h>

#include <thread>

#include "fakes/FakeConsole.h"
#include "support/CommandLines.h"
#include "support/CommandOutcome.h"
#include "fakes/FakePlatform.h"
#include "base/Context.h"
#include "main/permissions/Permissions.h"
#include "base/Timings.h"

using Access = SoundServer::Access;

namespace {

class PermissionsTest : public ::testing::Test {
 protected:
  PermissionsTest() {
    timings.systemAudioRequestWait = std::chrono::milliseconds(60);
    timings.systemAudioRequestPoll = std::chrono::milliseconds(5);
  }

  // Runs the command; returns its status, with its output in console.
  int run(std::vector<std::string> args) {
    Context context{fakes.platform, console, timings};
    return endStatus([&] { runPermissions(context, args); });
  }

  FakePlatform fakes;
  FakeConsole console;
  Timings timings;
};

}  // namespace

TEST_F(PermissionsTest, SoundServerAnswersMapToStatusWords) {
  Platform& p = fakes.platform;
  fakes.soundServer->microphone = Access::Allowed;
  EXPECT_EQ(microphoneStatus(p), "granted");
  fakes.soundServer->microphone = Access::Refused;
  EXPECT_EQ(microphoneStatus(p), "denied");
  EXPECT_EQ(requestMicrophone(p), "denied");
  fakes.soundServer->microphone = Access::Absent;
  EXPECT_EQ(microphoneStatus(p), "not-asked");

  fakes.soundServer->monitor = Access::Refused;
  EXPECT_EQ(systemAudioStatus(p), "denied");
  EXPECT_FALSE(systemAudioAllowedNow(p));
  fakes.soundServer->monitor = Access::Allowed;
  EXPECT_EQ(systemAudioStatus(p), "granted");
  EXPECT_TRUE(systemAudioAllowedNow(p));
}

TEST_F(PermissionsTest, AccessibilityNeedsTheSwitchSyntheticInputAndTheKeyboardAndIsNeverDenied) {
  Platform& p = fakes.platform;
  EXPECT_EQ(accessibilityStatus(p), "not-asked");
  fakes.accessibility->on = true;
  fakes.syntheticInput->display = false;
  EXPECT_EQ(accessibilityStatus(p), "not-asked");
  fakes.syntheticInput->display = true;
  EXPECT_EQ(accessibilityStatus(p), "granted");
  // No keyboard device the user may read: typing still works, the hold key is not seen.
  fakes.inputMonitor->keyboard = false;
  EXPECT_EQ(accessibilityStatus(p), "not-asked");
  EXPECT_TRUE(mayTypeForUser(p));
  fakes.inputMonitor->keyboard = true;

  fakes.accessibility->on = false;
  EXPECT_EQ(requestAccessibility(p), "granted");
  EXPECT_EQ(fakes.accessibility->enableCalls, 1);
}

TEST_F(PermissionsTest, SystemAudioRequestWaitsThenReportsWhatItFinds) {
  fakes.soundServer->monitor = Access::Absent;
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(requestSystemAudio(fakes.platform, timings), "not-asked");
  EXPECT_GE(std::chrono::steady_clock::now() - started, timings.systemAudioRequestWait);
  EXPECT_GT(fakes.soundServer->monitorQuestions.load(), 3);

  fakes.soundServer->monitor = Access::Refused;
  EXPECT_EQ(requestSystemAudio(fakes.platform, timings), "denied");
}

TEST_F(PermissionsTest, SystemAudioRequestReturnsAsSoonAsTheMonitorOpens) {
  fakes.soundServer->monitor = Access::Absent;
  timings.systemAudioRequestWait = std::chrono::seconds(30);
  std::thread opener([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    fakes.soundServer->monitor = Access::Allowed;
  });
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(requestSystemAudio(fakes.platform, timings), "granted");
  opener.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

TEST_F(PermissionsTest, CommandRepliesWithTheStatusObject) {
  fakes.soundServer->microphone = Access::Absent;
  EXPECT_EQ(run({"permission", "microphone"}), 0);
  EXPECT_EQ(console.stdoutText(), R"({"status":"not-asked"})");
}

TEST_F(PermissionsTest, NoLaunchIsAcceptedWithEveryName) {
  EXPECT_EQ(run({"permission", "microphone", "--no-launch"}), 0);
  EXPECT_EQ(console.stdoutText(), R"({"status":"granted"})");
}

TEST_F(PermissionsTest, RequestSwitchesAccessibilityOn) {
  EXPECT_EQ(run({"permission-request", "accessibility"}), 0);
  EXPECT_EQ(console.stdoutText(), R"({"status":"granted"})");
}

TEST_F(PermissionsTest, WrongFormsAreUsageErrors) {
  for (const CommandLine& line : COMMAND_LINES) {
    if (line.route != "permission" || !line.refused()) continue;
    FakeConsole fresh;
    Context context{fakes.platform, fresh, timings};
    EXPECT_EQ(endStatus([&] { runPermissions(context, line.args); }), 64) << shown(line.args);
    EXPECT_TRUE(fresh.stderrText().starts_with("usage: vesk-native "));
    EXPECT_EQ(fresh.stdoutText(), "");
  }
}
