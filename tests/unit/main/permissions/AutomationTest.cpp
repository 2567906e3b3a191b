#include <gtest/gtest.h>

#include "fakes/FakePlatform.h"
#include "base/Context.h"
#include "main/permissions/Permissions.h"
#include "base/Timings.h"
#include "support/CommandOutcome.h"

namespace {

class AutomationTest : public ::testing::Test {
 protected:
  AutomationTest() {
    timings.automationChecks = 5;
    timings.automationPoll = std::chrono::milliseconds(1);
  }

  CommandOutcome permission(std::vector<std::string> args) {
    return runCommand(fakes.platform, timings,
                      [&](Context& context) { runPermissions(context, args); });
  }

  FakePlatform fakes;
  Timings timings;
};

}  // namespace

TEST_F(AutomationTest, ARunningTargetIsGrantedAndOtherAppsAlwaysAre) {
  fakes.appBus->owned = {"org.gnome.Geary", "org.gnome.Notes", "org.gnome.Music",
                         "org.gnome.Epiphany"};
  for (std::string name : {"mail", "notes", "music", "safari", "other-apps"}) {
    auto asked = permission({"permission", name, "--no-launch"});
    EXPECT_EQ(asked.status, 0) << name;
    EXPECT_EQ(asked.out, R"({"status":"granted"})") << name;
    EXPECT_EQ(permission({"permission-request", name}).out, R"({"status":"granted"})") << name;
  }
  fakes.appBus->owned.clear();
  EXPECT_EQ(permission({"permission", "other-apps", "--no-launch"}).out, R"({"status":"granted"})");
}

TEST_F(AutomationTest, NoLaunchWithTheTargetAbsentEndsWithStatus3AndStartsNothing) {
  auto asked = permission({"permission", "mail", "--no-launch"});
  EXPECT_EQ(asked.status, 3);
  EXPECT_EQ(asked.err, "org.gnome.Geary isn\u2019t running");
  EXPECT_EQ(asked.out, "");
  EXPECT_TRUE(fakes.appBus->activations.empty());
  EXPECT_TRUE(fakes.appCatalog->launches.empty());
}

TEST_F(AutomationTest, AnActivatableTargetIsStartedOnceAndGrantedWhenItAppears) {
  fakes.appBus->activatable = {"org.gnome.Music"};
  fakes.appBus->checksUntilOwned = 2;
  auto asked = permission({"permission", "music"});
  EXPECT_EQ(asked.out, R"({"status":"granted"})");
  EXPECT_EQ(fakes.appBus->activations, std::vector<std::string>{"org.gnome.Music"});
  EXPECT_TRUE(fakes.appCatalog->launches.empty());
}

TEST_F(AutomationTest, ATargetThatNeverAppearsFailsWithTheNotRunningCodeAfterEveryCheck) {
  AppEntry notes;
  notes.id = "org.gnome.Notes.desktop";
  notes.path = "/usr/share/applications/org.gnome.Notes.desktop";
  fakes.appCatalog->installed = {notes};
  auto asked = permission({"permission-request", "notes"});
  EXPECT_EQ(asked.status, 1);
  EXPECT_EQ(asked.err, "Couldn\u2019t check access to org.gnome.Notes (-600)");
  EXPECT_EQ(fakes.appBus->questions, 5);
  // Not activatable: its desktop entry is launched instead, once.
  ASSERT_EQ(fakes.appCatalog->launches.size(), 1u);
  EXPECT_EQ(fakes.appCatalog->launches[0].entryPath, notes.path);
}

TEST_F(AutomationTest, ABusThatCannotBeAskedReportsItsCode) {
  fakes.appBus->failWith = 2;
  auto asked = permission({"permission", "safari"});
  EXPECT_EQ(asked.status, 1);
  EXPECT_EQ(asked.err, "Couldn\u2019t check access to org.gnome.Epiphany (2)");
}
