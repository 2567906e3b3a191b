#pragma once

#include <gtest/gtest.h>

#include <string>

// The standard output of a run or a command that had to succeed: it must have ended with status 0
// and written nothing on standard error. For RunResult and CommandOutcome alike.
template <class Outcome>
std::string replyOf(const Outcome& outcome) {
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.err, "");
  return outcome.out;
}
