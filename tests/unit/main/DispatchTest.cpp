#include <gtest/gtest.h>

#include <cmath>

#include "fakes/FakePlatform.h"
#include "fakes/FakeConsole.h"
#include "base/Context.h"
#include "main/Dispatch.h"
#include "base/Timings.h"
#include "support/CommandLines.h"
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

TEST_F(DispatchTest, EachCommandLineTakesItsRow) {
  for (const CommandLine& line : COMMAND_LINES) {
    EXPECT_EQ(of(line.args), line.route) << shown(line.args);
  }
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

// Beyond the table's rows: names that exist, so that only their letters refuse them.
TEST_F(DispatchTest, SoundNeedsLettersAndAnExistingSound) {
  fakes.systemSounds->names.insert("dialog-warning");
  EXPECT_EQ(of({"sound", "dialog-warning"}), USAGE_ERROR);  // "-" is not a letter
  fakes.systemSounds->names.insert("\u00e9t\u00e9");
  EXPECT_EQ(of({"sound", "\u00e9t\u00e9"}), "sound");  // letters beyond ASCII
  fakes.systemSounds->names.insert("../x");
  EXPECT_EQ(of({"sound", "../x"}), USAGE_ERROR);
  fakes.systemSounds->names.insert("\xff");
  EXPECT_EQ(of({"sound", "\xff"}), USAGE_ERROR);  // not UTF-8
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

TEST_F(DispatchTest, ReminderListOrderParsesItsJson) {
  Route r = route({"reminder-list-order", R"({"sources":[{"id":"a"}],"defaultId":"b"})"},
                  fakes.platform);
  EXPECT_EQ(r.command(), "reminder-list-order");
  EXPECT_EQ(r.request.at("defaultId"), "b");
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
