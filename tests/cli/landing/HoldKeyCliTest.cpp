// listen hold-key where it cannot watch: exact bytes and status.
#include <gtest/gtest.h>

#include "support/Run.h"

TEST(HoldKeyCli, WithoutADisplayItFailsAtOnce) {
  RunOptions options;
  options.env["DISPLAY"] = std::nullopt;
  options.timeoutSeconds = 10;
  RunResult r = runVesk({"listen", "hold-key", "control"}, options);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Couldn\u2019t watch the keyboard: no X display");
}
