#include <gtest/gtest.h>

#include <cmath>

#include "fakes/FakePlatform.h"
#include "fakes/FakeConsole.h"
#include "base/Context.h"
#include "main/Dispatch.h"
#include "base/Timings.h"
#include "support/CommandOutcome.h"

namespace {

// A route names the row it takes by the row's first phrase; the usage error by nothing.
constexpr std::string_view USAGE_ERROR;

class DispatchTest : public ::testing::Test {
 protected:
  std::string_view of(std::vector<std::string> args) { return route(args, fakes.platform).command(); }
  FakePlatform fakes;
};

}  // namespace

TEST_F(DispatchTest, NothingAndUnknownWordsAreUsageErrors) {
  EXPECT_EQ(of({}), USAGE_ERROR);
  EXPECT_EQ(of({"hello"}), USAGE_ERROR);
  EXPECT_EQ(of({"Calendars"}), USAGE_ERROR);
  EXPECT_EQ(of({""}), USAGE_ERROR);
}

TEST_F(DispatchTest, ExactCountsAndIgnoredExtras) {
  EXPECT_EQ(of({"browsers"}), "browsers");
  EXPECT_EQ(of({"browsers", "x"}), USAGE_ERROR);
  EXPECT_EQ(of({"running-apps", "x"}), USAGE_ERROR);
  EXPECT_EQ(of({"chrome-profiles", "x", "y"}), "chrome-profiles");
  EXPECT_EQ(of({"mic-users", "x"}), "mic-users");
  EXPECT_EQ(of({"memory", "x"}), "memory");
  EXPECT_EQ(of({"music-hush"}), "music-hush");
  EXPECT_EQ(of({"music-hush", "x"}), USAGE_ERROR);
  EXPECT_EQ(of({"audio-route", "x"}), USAGE_ERROR);
  EXPECT_EQ(of({"device-id"}), "device-id");
  EXPECT_EQ(of({"device-id", "x"}), USAGE_ERROR);
}

TEST_F(DispatchTest, Secret) {
  EXPECT_EQ(of({"secret", "get", "token"}), "secret");
  EXPECT_EQ(of({"secret", "anything", "token"}), "secret");  // the handler checks it
  EXPECT_EQ(of({"secret", "get", ""}), USAGE_ERROR);
  EXPECT_EQ(of({"secret", "get"}), USAGE_ERROR);
  EXPECT_EQ(of({"secret", "get", "a", "b"}), USAGE_ERROR);
}

TEST_F(DispatchTest, ListenModes) {
  EXPECT_EQ(of({"listen", "who", "mic"}), "listen who mic");
  EXPECT_EQ(of({"listen", "who", "me"}), USAGE_ERROR);
  EXPECT_EQ(of({"listen", "meeting", "mic"}), "listen");
  EXPECT_EQ(of({"listen", "meeting", "both"}), "listen");
  EXPECT_EQ(of({"listen", "meeting", "them"}), USAGE_ERROR);
  EXPECT_EQ(of({"listen", "meeting"}), USAGE_ERROR);
  EXPECT_EQ(of({"listen", "hold-key", "control"}), "listen");
  EXPECT_EQ(of({"listen", "hold-key", "right-option"}), "listen");
  EXPECT_EQ(of({"listen", "hold-key", "none"}), "listen");
  EXPECT_EQ(of({"listen", "hold-key", "shift"}), USAGE_ERROR);
  EXPECT_EQ(of({"listen", "dictate", "loud"}), USAGE_ERROR);
  EXPECT_EQ(of({"listen", "dictate", "mic", "x"}), USAGE_ERROR);
  EXPECT_EQ(of({"listen", "other", "mic"}), USAGE_ERROR);
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
    EXPECT_EQ(r.command(), "listen") << c.mode;
    EXPECT_EQ(r.quietSeconds, c.quiet) << c.mode;
    EXPECT_EQ(r.hold, c.hold) << c.mode;
    EXPECT_EQ(r.keep, c.keep) << c.mode;
  }
}

TEST_F(DispatchTest, ChromeOpen) {
  const std::string app = "/usr/share/applications/google-chrome.desktop";
  EXPECT_EQ(of({"chrome-open", app, "Default", "https://example.com"}), "chrome-open");
  EXPECT_EQ(of({"chrome-open", app, "Profile 1", "http://example.com"}), "chrome-open");
  EXPECT_EQ(of({"chrome-open", "/opt/chrome", "Default", "https://x"}), USAGE_ERROR);
  EXPECT_EQ(of({"chrome-open", app, "a/b", "https://x"}), USAGE_ERROR);
  EXPECT_EQ(of({"chrome-open", app, "", "https://x"}), USAGE_ERROR);
  EXPECT_EQ(of({"chrome-open", app, "Default", "ftp://x"}), USAGE_ERROR);
  EXPECT_EQ(of({"chrome-open", app, "Default"}), USAGE_ERROR);
}

TEST_F(DispatchTest, MusicPlayNeedsKnownPlayers) {
  EXPECT_EQ(of({"music-play", "music"}), "music-play");
  EXPECT_EQ(of({"music-play", "music", "spotify"}), "music-play");
  EXPECT_EQ(of({"music-play"}), USAGE_ERROR);
  EXPECT_EQ(of({"music-play", "music", "vlc"}), USAGE_ERROR);
}

TEST_F(DispatchTest, SoundNeedsLettersAndAnExistingSound) {
  EXPECT_EQ(of({"sound", "bell"}), "sound");
  EXPECT_EQ(of({"sound", "Glass"}), "sound");
  EXPECT_EQ(of({"sound", "Basso"}), USAGE_ERROR);  // no such sound
  fakes.systemSounds->names.insert("dialog-warning");
  EXPECT_EQ(of({"sound", "dialog-warning"}), USAGE_ERROR);  // "-" is not a letter
  fakes.systemSounds->names.insert("\u00e9t\u00e9");
  EXPECT_EQ(of({"sound", "\u00e9t\u00e9"}), "sound");  // letters beyond ASCII
  fakes.systemSounds->names.insert("../x");
  EXPECT_EQ(of({"sound", "../x"}), USAGE_ERROR);
  fakes.systemSounds->names.insert("\xff");
  EXPECT_EQ(of({"sound", "\xff"}), USAGE_ERROR);  // not UTF-8
  EXPECT_EQ(of({"sound", ""}), USAGE_ERROR);      // letters, but no such sound
  EXPECT_EQ(of({"sound"}), USAGE_ERROR);
}

TEST_F(DispatchTest, OpenerNeedsAUrl) {
  EXPECT_EQ(of({"opener", "https://example.com"}), "opener");
  EXPECT_EQ(of({"opener", "no url"}), USAGE_ERROR);
  EXPECT_EQ(of({"opener"}), USAGE_ERROR);
}

TEST_F(DispatchTest, OnlyTheNamedRowsCheckAsksThePlatform) {
  // Backends load on first use: a check must not touch a service for another command.
  for (std::vector<std::string> args :
       std::vector<std::vector<std::string>>{{},
                                             {"hello"},
                                             {"browsers"},
                                             {"secret", "get", "token"},
                                             {"listen", "dictate", "mic"},
                                             {"music-play", "music"},
                                             {"exclude-from-backup", "/tmp/x"},
                                             {"reminders"},
                                             {"permission", "microphone"},
                                             {"events"},
                                             {"sound", "bell", "x"},
                                             {"sound", "dialog-warning"},
                                             {"opener"}}) {
    of(args);
  }
  EXPECT_EQ(fakes.systemSounds->existsQuestions, 0);
  EXPECT_EQ(fakes.desktop->urlQuestions, 0);
  of({"sound", "bell"});
  EXPECT_EQ(fakes.systemSounds->existsQuestions, 1);
  EXPECT_EQ(fakes.desktop->urlQuestions, 0);
  of({"opener", "https://example.com"});
  EXPECT_EQ(fakes.systemSounds->existsQuestions, 1);
  EXPECT_EQ(fakes.desktop->urlQuestions, 1);
}

TEST_F(DispatchTest, ExcludeFromBackupNeedsAnAbsolutePath) {
  EXPECT_EQ(of({"exclude-from-backup", "/tmp/x"}), "exclude-from-backup");
  EXPECT_EQ(of({"exclude-from-backup", "tmp/x"}), USAGE_ERROR);
  EXPECT_EQ(of({"exclude-from-backup"}), USAGE_ERROR);
}

TEST_F(DispatchTest, ReminderListOrderParsesItsJson) {
  Route r = route({"reminder-list-order", R"({"sources":[{"id":"a"}],"defaultId":"b"})"},
                  fakes.platform);
  EXPECT_EQ(r.command(), "reminder-list-order");
  EXPECT_EQ(r.request.at("defaultId"), "b");
  EXPECT_EQ(of({"reminder-list-order", R"({"sources":[]})"}), "reminder-list-order");
  EXPECT_EQ(of({"reminder-list-order", "[]"}), USAGE_ERROR);
  EXPECT_EQ(of({"reminder-list-order", "{"}), USAGE_ERROR);
  EXPECT_EQ(of({"reminder-list-order", R"({"sources":{}})"}), USAGE_ERROR);
  EXPECT_EQ(of({"reminder-list-order", R"({"sources":[1]})"}), USAGE_ERROR);
  EXPECT_EQ(of({"reminder-list-order", R"({})"}), USAGE_ERROR);
  // Any other count falls through to the reminder commands.
  EXPECT_EQ(of({"reminder-list-order"}), "reminder");
  EXPECT_EQ(of({"reminder-list-order", "{}", "x"}), "reminder");
}

TEST_F(DispatchTest, PrefixRowsAndCalendarWords) {
  EXPECT_EQ(of({"reminders"}), "reminder");
  EXPECT_EQ(of({"reminder-add", "{}"}), "reminder");
  EXPECT_EQ(of({"reminderX"}), "reminder");
  EXPECT_EQ(of({"permission", "microphone"}), "permission");
  EXPECT_EQ(of({"permissions"}), "permission");
  for (const char* word : {"calendars", "events", "event-add", "event-update", "event-delete"}) {
    EXPECT_EQ(of({word}), "calendars") << word;
  }
  EXPECT_EQ(of({"event"}), USAGE_ERROR);
}

TEST(DispatchStoreTest, ASilentStoreEndsEveryStoreCommandWithItsMessage) {
  FakePlatform fakes;
  fakes.eventStore->silent = true;
  Timings timings;
  timings.storeCallLimit = std::chrono::milliseconds(1234);
  for (std::vector<std::string> args :
       {std::vector<std::string>{"events", "2025-03-01T00:00:00.000Z", "2025-03-02T00:00:00.000Z", "w"},
        {"reminders"}, {"permission", "calendars"}}) {
    FakeConsole console;
    Context context{fakes.platform, console, timings};
    EXPECT_EQ(endStatus([&] { dispatch(context, args); }), 1) << args[0];
    EXPECT_EQ(console.stderrText(), "The store did not answer in time.") << args[0];
    EXPECT_EQ(fakes.eventStore->callLimit, timings.storeCallLimit) << args[0];
  }
}
