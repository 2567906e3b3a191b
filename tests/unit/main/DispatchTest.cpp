#include <gtest/gtest.h>

#include <cmath>

#include "fakes/FakePlatform.h"
#include "main/Dispatch.h"

using Command = Route::Command;

namespace {

class DispatchTest : public ::testing::Test {
 protected:
  Command of(std::vector<std::string> args) { return route(args, fakes.platform).command; }
  FakePlatform fakes;
};

}  // namespace

TEST_F(DispatchTest, NothingAndUnknownWordsAreUsageErrors) {
  EXPECT_EQ(of({}), Command::Usage);
  EXPECT_EQ(of({"hello"}), Command::Usage);
  EXPECT_EQ(of({"Calendars"}), Command::Usage);
  EXPECT_EQ(of({""}), Command::Usage);
}

TEST_F(DispatchTest, ExactCountsAndIgnoredExtras) {
  EXPECT_EQ(of({"browsers"}), Command::Browsers);
  EXPECT_EQ(of({"browsers", "x"}), Command::Usage);
  EXPECT_EQ(of({"running-apps", "x"}), Command::Usage);
  EXPECT_EQ(of({"chrome-profiles", "x", "y"}), Command::ChromeProfiles);
  EXPECT_EQ(of({"mic-users", "x"}), Command::MicUsers);
  EXPECT_EQ(of({"memory", "x"}), Command::Memory);
  EXPECT_EQ(of({"music-hush"}), Command::MusicHush);
  EXPECT_EQ(of({"music-hush", "x"}), Command::Usage);
  EXPECT_EQ(of({"audio-route", "x"}), Command::Usage);
  EXPECT_EQ(of({"device-id"}), Command::DeviceId);
  EXPECT_EQ(of({"device-id", "x"}), Command::Usage);
}

TEST_F(DispatchTest, Secret) {
  EXPECT_EQ(of({"secret", "get", "token"}), Command::Secret);
  EXPECT_EQ(of({"secret", "anything", "token"}), Command::Secret);  // the handler checks it
  EXPECT_EQ(of({"secret", "get", ""}), Command::Usage);
  EXPECT_EQ(of({"secret", "get"}), Command::Usage);
  EXPECT_EQ(of({"secret", "get", "a", "b"}), Command::Usage);
}

TEST_F(DispatchTest, ListenModes) {
  EXPECT_EQ(of({"listen", "who", "mic"}), Command::MicUserWatch);
  EXPECT_EQ(of({"listen", "who", "me"}), Command::Usage);
  EXPECT_EQ(of({"listen", "meeting", "mic"}), Command::Meeting);
  EXPECT_EQ(of({"listen", "meeting", "both"}), Command::Meeting);
  EXPECT_EQ(of({"listen", "meeting", "them"}), Command::Usage);
  EXPECT_EQ(of({"listen", "meeting"}), Command::Usage);
  EXPECT_EQ(of({"listen", "hold-key", "control"}), Command::HoldKey);
  EXPECT_EQ(of({"listen", "hold-key", "right-option"}), Command::HoldKey);
  EXPECT_EQ(of({"listen", "hold-key", "none"}), Command::HoldKey);
  EXPECT_EQ(of({"listen", "hold-key", "shift"}), Command::Usage);
  EXPECT_EQ(of({"listen", "dictate", "loud"}), Command::Usage);
  EXPECT_EQ(of({"listen", "dictate", "mic", "x"}), Command::Usage);
  EXPECT_EQ(of({"listen", "other", "mic"}), Command::Usage);
}

TEST_F(DispatchTest, DictateModesGiveTheirSwitches) {
  struct Case {
    const char* mode;
    double quiet;
    bool hold, keep;
  };
  for (Case c : {Case{"mic", 1.5, false, false}, Case{"talk", 0.8, false, false},
                 Case{"hold", INFINITY, true, false}, Case{"mic-keep", 1.5, false, true},
                 Case{"hold-keep", INFINITY, true, true}}) {
    Route r = route({"listen", "dictate", c.mode}, fakes.platform);
    EXPECT_EQ(r.command, Command::Dictate) << c.mode;
    EXPECT_EQ(r.quietSeconds, c.quiet) << c.mode;
    EXPECT_EQ(r.hold, c.hold) << c.mode;
    EXPECT_EQ(r.keep, c.keep) << c.mode;
  }
}

TEST_F(DispatchTest, ChromeOpen) {
  const std::string app = "/usr/share/applications/google-chrome.desktop";
  EXPECT_EQ(of({"chrome-open", app, "Default", "https://example.com"}), Command::ChromeOpen);
  EXPECT_EQ(of({"chrome-open", app, "Profile 1", "http://example.com"}), Command::ChromeOpen);
  EXPECT_EQ(of({"chrome-open", "/opt/chrome", "Default", "https://x"}), Command::Usage);
  EXPECT_EQ(of({"chrome-open", app, "a/b", "https://x"}), Command::Usage);
  EXPECT_EQ(of({"chrome-open", app, "", "https://x"}), Command::Usage);
  EXPECT_EQ(of({"chrome-open", app, "Default", "ftp://x"}), Command::Usage);
  EXPECT_EQ(of({"chrome-open", app, "Default"}), Command::Usage);
}

TEST_F(DispatchTest, MusicPlayNeedsKnownPlayers) {
  EXPECT_EQ(of({"music-play", "music"}), Command::MusicPlay);
  EXPECT_EQ(of({"music-play", "music", "spotify"}), Command::MusicPlay);
  EXPECT_EQ(of({"music-play"}), Command::Usage);
  EXPECT_EQ(of({"music-play", "music", "vlc"}), Command::Usage);
}

TEST_F(DispatchTest, SoundNeedsLettersAndAnExistingSound) {
  EXPECT_EQ(of({"sound", "bell"}), Command::Sound);
  EXPECT_EQ(of({"sound", "Glass"}), Command::Sound);
  EXPECT_EQ(of({"sound", "Basso"}), Command::Usage);  // no such sound
  fakes.systemSounds->names.insert("dialog-warning");
  EXPECT_EQ(of({"sound", "dialog-warning"}), Command::Usage);  // "-" is not a letter
  fakes.systemSounds->names.insert("\u00e9t\u00e9");
  EXPECT_EQ(of({"sound", "\u00e9t\u00e9"}), Command::Sound);  // letters beyond ASCII
  fakes.systemSounds->names.insert("../x");
  EXPECT_EQ(of({"sound", "../x"}), Command::Usage);
  fakes.systemSounds->names.insert("\xff");
  EXPECT_EQ(of({"sound", "\xff"}), Command::Usage);  // not UTF-8
  EXPECT_EQ(of({"sound", ""}), Command::Usage);      // letters, but no such sound
  EXPECT_EQ(of({"sound"}), Command::Usage);
}

TEST_F(DispatchTest, OpenerNeedsAUrl) {
  EXPECT_EQ(of({"opener", "https://example.com"}), Command::Opener);
  EXPECT_EQ(of({"opener", "no url"}), Command::Usage);
  EXPECT_EQ(of({"opener"}), Command::Usage);
}

TEST_F(DispatchTest, ExcludeFromBackupNeedsAnAbsolutePath) {
  EXPECT_EQ(of({"exclude-from-backup", "/tmp/x"}), Command::ExcludeFromBackup);
  EXPECT_EQ(of({"exclude-from-backup", "tmp/x"}), Command::Usage);
  EXPECT_EQ(of({"exclude-from-backup"}), Command::Usage);
}

TEST_F(DispatchTest, ReminderListOrderParsesItsJson) {
  Route r = route({"reminder-list-order", R"({"sources":[{"id":"a"}],"defaultId":"b"})"},
                  fakes.platform);
  EXPECT_EQ(r.command, Command::ReminderListOrder);
  EXPECT_EQ(r.request.at("defaultId"), "b");
  EXPECT_EQ(of({"reminder-list-order", R"({"sources":[]})"}), Command::ReminderListOrder);
  EXPECT_EQ(of({"reminder-list-order", "[]"}), Command::Usage);
  EXPECT_EQ(of({"reminder-list-order", "{"}), Command::Usage);
  EXPECT_EQ(of({"reminder-list-order", R"({"sources":{}})"}), Command::Usage);
  EXPECT_EQ(of({"reminder-list-order", R"({"sources":[1]})"}), Command::Usage);
  EXPECT_EQ(of({"reminder-list-order", R"({})"}), Command::Usage);
  // Any other count falls through to the reminder commands.
  EXPECT_EQ(of({"reminder-list-order"}), Command::Reminders);
  EXPECT_EQ(of({"reminder-list-order", "{}", "x"}), Command::Reminders);
}

TEST_F(DispatchTest, PrefixRowsAndCalendarWords) {
  EXPECT_EQ(of({"reminders"}), Command::Reminders);
  EXPECT_EQ(of({"reminder-add", "{}"}), Command::Reminders);
  EXPECT_EQ(of({"reminderX"}), Command::Reminders);
  EXPECT_EQ(of({"permission", "microphone"}), Command::Permissions);
  EXPECT_EQ(of({"permissions"}), Command::Permissions);
  for (const char* word : {"calendars", "events", "event-add", "event-update", "event-delete"}) {
    EXPECT_EQ(of({word}), Command::Calendar) << word;
  }
  EXPECT_EQ(of({"event"}), Command::Usage);
}
