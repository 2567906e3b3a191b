// The built binary's exact bytes and statuses for command lines it must refuse or answer alone.
#include <gtest/gtest.h>

#include "main/Reply.h"
#include "support/CommandLines.h"
#include "support/Run.h"

TEST(Cli, UsageTextByteForByte) {
  RunResult r = runVesk({});
  EXPECT_EQ(r.status, 64);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "usage: vesk-native calendars | events <fromISO> <toISO> <calendarId>... | event-add "
            "<json> | event-update <json> | event-delete <json> | running-apps | chrome-profiles | "
            "chrome-open <app> <profile> <url> | mic-users | listen who mic | sound <name> | secret "
            "get|set|clear <name> | reminders-access | reminders | reminders-done <YYYY-MM-DD> | "
            "reminder-add <json> | reminder-update <id> <json> | reminder-delete <id> | permission "
            "<name> [--no-launch] | permission-request <name> | browsers | opener <url> | "
            "exclude-from-backup <absolutePath> | audio-route | device-id | listen meeting "
            "<mic|both> | listen dictate <mic|talk> | listen dictate hold | listen dictate "
            "<mic-keep|hold-keep> | listen hold-key <control|right-option|none>");
}

TEST(Cli, EveryRowRefusesWrongArguments) {
  for (const CommandLine& line : COMMAND_LINES) {
    if (!line.refused()) continue;
    RunResult r = runVesk(line.args);
    EXPECT_EQ(r.status, 64) << shown(line.args);
    EXPECT_EQ(r.out, "") << shown(line.args);
    EXPECT_EQ(r.err, std::string(USAGE)) << shown(line.args);
  }
}

TEST(Cli, ReminderListOrderAnswersWithoutAStore) {
  RunResult r = runVesk({"reminder-list-order",
                         R"({"defaultId":"d/1","sources":[{"id":"l","kind":"local","title":"On My Computer"},)"
                         R"({"id":"c","kind":"calDAV","title":"iCloud","hasReminderLists":true}]})"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, R"(["d\/1","c","l"])");
  EXPECT_EQ(r.err, "");

  r = runVesk({"reminder-list-order", R"({"sources":[]})"});
  EXPECT_EQ(r.out, "[]");
  EXPECT_EQ(r.status, 0);
}
