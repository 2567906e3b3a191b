// Standard output closed by the parent before the bridge writes: SIGPIPE is ignored, what would
// have been written is dropped, and each command still ends as it would have.
#include <gtest/gtest.h>

#include "support/Run.h"
#include "support/Scratch.h"
#include "support/Services.h"

TEST(ClosedOutputE2e, EveryCommandEndsAsItWouldHave) {
  requireServices();
  struct Case {
    std::vector<std::string> args;
    std::string input;
  };
  const std::vector<Case> cases = {
      {{"device-id"}, ""},
      {{"audio-route"}, ""},  // its bare word goes through buffered stdio, flushed at the end
      {{"listen", "dictate", "hold"}, "stop\n"},
      {{"listen", "meeting", "mic"}, R"({"id":"2024-05-01-093000"})" "\nstop\n"},
      {{"listen", "hold-key", "none"}, "stop\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
    Scratch scratch;
    RunOptions options;
    options.env = scratch.env();
    options.input = c.input;
    options.closedOutput = true;
    options.timeoutSeconds = 15;
    RunResult result = runVesk(c.args, options);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
  }
}
