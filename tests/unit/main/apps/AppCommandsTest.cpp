#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>

#include "fakes/FakePlatform.h"
#include "main/apps/AppCommands.h"
#include "base/Base64.h"
#include "main/apps/ChromeProfiles.h"
#include "base/Context.h"
#include "main/apps/RunningApps.h"
#include "base/Timings.h"
#include "support/CommandOutcome.h"
#include "support/ReplyOf.h"

namespace {

AppEntry entry(const std::string& id, const std::string& name, const std::string& icon = "") {
  AppEntry e;
  e.id = id + ".desktop";
  e.path = "/usr/share/applications/" + id + ".desktop";
  e.name = name;
  if (!icon.empty()) e.icon.names = {icon};
  return e;
}

AppWindow window(long pid, const std::string& wmClass, bool hidden = false) {
  AppWindow w;
  w.pid = pid;
  w.wmClass = wmClass;
  // The instance name is usually the class name in lower case.
  for (unsigned char c : wmClass) w.wmInstance += static_cast<char>(std::tolower(c));
  w.hidden = hidden;
  return w;
}

class AppCommandsTest : public ::testing::Test {
 protected:
  template <class Command>
  CommandOutcome run(Command command) {
    return runCommand(fakes.platform, timings, command);
  }

  FakePlatform fakes;
  Timings timings;
};

}  // namespace

TEST(Base64, EncodesWithFillCharacters) {
  EXPECT_EQ(base64(""), "");
  EXPECT_EQ(base64("f"), "Zg==");
  EXPECT_EQ(base64("fo"), "Zm8=");
  EXPECT_EQ(base64("foo"), "Zm9v");
  EXPECT_EQ(base64("foobar"), "Zm9vYmFy");
  EXPECT_EQ(base64(std::string("\xff\xfe\x00", 3)), "//4A");
}

TEST(WindowEntryMatching, TriesStrongClaimsBeforeWeakOnes) {
  std::vector<AppEntry> entries{entry("org.gnome.Geary", "Geary"), entry("firefox-esr", "Firefox"),
                                entry("zenity-dialogs", "Dialogs"), entry("editor", "Editor")};
  entries[2].wmClass = "Zenity";
  entries[3].executable = "/opt/editor/bin/editor";

  AppWindow gtk = window(1, "Something");
  gtk.gtkAppId = "org.gnome.Geary";
  EXPECT_EQ(entryOfWindow(gtk, entries)->name, "Geary");

  AppWindow launched = window(2, "Other");
  launched.launchedEntry = entries[1].path;
  EXPECT_EQ(entryOfWindow(launched, entries)->name, "Firefox");

  EXPECT_EQ(entryOfWindow(window(3, "Zenity"), entries)->name, "Dialogs");
  EXPECT_EQ(entryOfWindow(window(4, "Firefox-esr"), entries)->name, "Firefox");
  EXPECT_EQ(entryOfWindow(window(5, "Geary"), entries)->name, "Geary");

  AppWindow byProgram = window(6, "Unknown");
  byProgram.executable = "/usr/bin/editor";
  EXPECT_EQ(entryOfWindow(byProgram, entries)->name, "Editor");

  EXPECT_EQ(entryOfWindow(window(7, "Unknown"), entries), nullptr);
}

TEST(RunningAppsList, OneAppPerProcessHiddenOnlyWhenEveryWindowIs) {
  std::vector<AppEntry> entries{entry("org.gnome.Geary", "Geary", "geary")};
  std::vector<AppWindow> windows{window(10, "Geary", true), window(20, "Tool", true),
                                 window(10, "Geary", false), window(0, ""),
                                 window(30, "Tool", false)};
  auto apps = runningApps(windows, entries);
  ASSERT_EQ(apps.size(), 3u);
  EXPECT_EQ(apps[0].name, "Geary");
  EXPECT_FALSE(apps[0].hidden);
  EXPECT_EQ(apps[0].icon.names, std::vector<std::string>{"geary"});
  // Without an entry the window class names it.
  EXPECT_EQ(apps[1].name, "Tool");
  EXPECT_TRUE(apps[1].hidden);
  EXPECT_EQ(apps[2].name, "Tool");
  EXPECT_FALSE(apps[2].hidden);
}

TEST_F(AppCommandsTest, RunningAppsDrawTheEntrysIconElseTheWindowsOwnElseNone) {
  fakes.appCatalog->installed = {entry("org.gnome.Geary", "Geary", "geary"),
                                 entry("broken", "Broken", "missing")};
  AppWindow ownIcon = window(3, "Painted");
  ownIcon.icon = PixelIcon{2, 1, {0xff000000u, 0xffffffffu}};
  AppWindow drawnOverOwn = window(1, "Geary");
  drawnOverOwn.icon = ownIcon.icon;
  fakes.windowList->windows = {drawnOverOwn, window(2, "Broken"), ownIcon};
  auto answer = nlohmann::json::parse(replyOf(run([](Context& c) { runRunningApps(c); })));
  ASSERT_EQ(answer["apps"].size(), 3u);
  EXPECT_EQ(answer["apps"][0]["name"], "Geary");
  EXPECT_EQ(answer["apps"][0]["hidden"], false);
  EXPECT_EQ(answer["apps"][0]["icon"], "data:image/png;base64," + base64("png:geary"));
  EXPECT_EQ(answer["apps"][1]["icon"], "");
  // The window's own icon stands in where the entry gives none.
  EXPECT_EQ(answer["apps"][2]["icon"], "data:image/png;base64," + base64("pixels:2x1"));
}

TEST_F(AppCommandsTest, RunningAppsWithoutWindowsIsAnEmptyList) {
  auto outcome = run([](Context& c) { runRunningApps(c); });
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, R"({"apps":[]})");
}

TEST_F(AppCommandsTest, BrowsersKeepAcceptedFoldersAndTheFirstOfEachApplication) {
  setenv("XDG_DATA_HOME", "/home/u/.local/share", 1);
  AppEntry system = entry("firefox-esr", "Firefox", "firefox-esr");
  AppEntry user = system;
  user.path = "/home/u/.local/share/applications/firefox-esr.desktop";
  AppEntry mine = entry("my-browser", "Mine");
  mine.path = "/home/u/.local/share/applications/my-browser.desktop";
  AppEntry flatpak = entry("org.chromium.Chromium", "Chromium");
  flatpak.path = "/var/lib/flatpak/exports/share/applications/org.chromium.Chromium.desktop";
  AppEntry elsewhere = entry("portable", "Portable");
  elsewhere.path = "/opt/portable/portable.desktop";
  AppEntry helper = entry("link-helper", "Link helper");
  helper.hidden = true;
  fakes.appCatalog->handlers["x-scheme-handler/https"] = {system, elsewhere, user, helper, mine,
                                                          flatpak};
  fakes.appCatalog->defaults["x-scheme-handler/https"] = elsewhere;

  auto answer = nlohmann::json::parse(replyOf(run([](Context& c) { runBrowsers(c); })));
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(answer["macDefault"], "/opt/portable/portable.desktop");
  ASSERT_EQ(answer["browsers"].size(), 3u);
  EXPECT_EQ(answer["browsers"][0]["name"], "firefox-esr");
  EXPECT_EQ(answer["browsers"][0]["path"], "/usr/share/applications/firefox-esr.desktop");
  EXPECT_EQ(answer["browsers"][0]["icon"], "data:image/png;base64," + base64("png:firefox-esr"));
  EXPECT_EQ(answer["browsers"][1]["name"], "my-browser");
  EXPECT_EQ(answer["browsers"][1]["icon"], "");
  EXPECT_EQ(answer["browsers"][2]["name"], "org.chromium.Chromium");
}

TEST_F(AppCommandsTest, NoDefaultBrowserIsNull) {
  const auto answer = nlohmann::json::parse(replyOf(run([](Context& c) { runBrowsers(c); })));
  EXPECT_EQ(answer["macDefault"], nullptr);
  EXPECT_EQ(answer["browsers"], nlohmann::json::array());
}

TEST_F(AppCommandsTest, OpenerRepliesWithTheEntryPathOrNull) {
  fakes.appCatalog->openers["mailto:a@b.c"] = entry("mail-client", "Mail");
  auto found = run([](Context& c) { runOpener(c, "mailto:a@b.c"); });
  EXPECT_EQ(found.out, R"({"app":"\/usr\/share\/applications\/mail-client.desktop"})");
  auto none = run([](Context& c) { runOpener(c, "nosuch:thing"); });
  EXPECT_EQ(none.out, R"({"app":null})");
}

TEST_F(AppCommandsTest, ChromeOpenLaunchesTheEntryWithProfileThenUrl) {
  auto opened = run([](Context& c) {
    runChromeOpen(c, "/usr/share/applications/google-chrome.desktop", "Profile 1",
                  "https://example.org/a");
  });
  EXPECT_EQ(opened.status, 0);
  EXPECT_EQ(opened.out, R"({"opened":true})");
  const auto& launches = fakes.appCatalog->launches;
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].entryPath, "/usr/share/applications/google-chrome.desktop");
  EXPECT_EQ(launches[0].args,
            (std::vector<std::string>{"--profile-directory=Profile 1", "https://example.org/a"}));
}

TEST_F(AppCommandsTest, ChromeOpenReportsAFailedStartAndAFailedExit) {
  fakes.appCatalog->launchResult = LaunchResult{false, "No such file", std::nullopt};
  auto open = [](Context& c) { runChromeOpen(c, "/x.desktop", "Default", "https://a.b"); };
  auto unstarted = run(open);
  EXPECT_EQ(unstarted.status, 1);
  EXPECT_EQ(unstarted.err, "Couldn't open Chrome: No such file");
  EXPECT_EQ(unstarted.out, "");

  fakes.appCatalog->launchResult = LaunchResult{true, "", 2};
  auto failed = run(open);
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err, "Chrome didn't open.");
}

TEST(ChromeProfileParsing, KeepsSignedInProfilesWithTheirActiveTime) {
  auto profiles = chromeProfiles(R"({"profile":{"info_cache":{
      "Default":{"user_name":"a@example.org","active_time":1733700000.5},
      "Profile 1":{"user_name":"b@example.org"},
      "Profile 2":{"user_name":""},
      "Profile 3":{"name":"no user"},
      "Profile 4":"not an object",
      "Profile 5":{"user_name":"c@example.org","active_time":"soon"}}}})");
  ASSERT_EQ(profiles.size(), 3u);
  std::map<std::string, nlohmann::json> byDir;
  for (const auto& p : profiles) byDir[p["dir"]] = p;
  EXPECT_EQ(byDir["Default"]["email"], "a@example.org");
  EXPECT_DOUBLE_EQ(byDir["Default"]["activeTime"].get<double>(), 1733700000.5);
  EXPECT_EQ(byDir["Profile 1"]["activeTime"], 0);
  EXPECT_EQ(byDir["Profile 5"]["activeTime"], 0);
}

TEST(ChromeProfileParsing, AnythingButAStateFileGivesNoProfiles) {
  for (std::string text : {"", "not json", "[]", R"({"profile":[]})", R"({"profile":{}})",
                           R"({"profile":{"info_cache":[]}})", "{\"profile\":\xff}"}) {
    EXPECT_EQ(chromeProfiles(text), nlohmann::json::array()) << text;
  }
}
