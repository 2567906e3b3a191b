// Calendar command lines the built binary refuses before it asks the calendar store anything.
#include <gtest/gtest.h>

#include "main/Reply.h"
#include "support/Run.h"

TEST(CalendarCli, MalformedCalendarCommandLinesAreUsageErrors) {
  // No session bus at all: a command that got past its checks would fail with status 2 instead.
  RunOptions noBus;
  noBus.env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=/nonexistent/vesk-test-bus";
  for (std::vector<std::string> args : {
           std::vector<std::string>{"events"},
           {"events", "2025-03-01T00:00:00.000Z"},
           {"events", "2025-03-01T00:00:00Z", "2025-03-02T00:00:00.000Z", "cal"},
           {"events", "2025-03-01T00:00:00.000Z", "tomorrow"},
           {"event-add"},
           {"event-add", "[]"},
           {"event-update", "{}", "{}"},
           {"event-delete", "not json"},
       }) {
    RunResult r = runVesk(args, noBus);
    EXPECT_EQ(r.status, 64) << args.size() << " " << args[0];
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, std::string(USAGE));
  }
  RunResult denied = runVesk({"events", "2025-03-01T00:00:00.000Z", "2025-03-02T00:00:00.000Z"}, noBus);
  EXPECT_EQ(denied.status, 2);
  EXPECT_EQ(denied.out, "");
}
