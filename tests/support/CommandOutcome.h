#pragma once

#include <gtest/gtest.h>

#include <string>

#include "fakes/FakeConsole.h"
#include "base/Context.h"

// What a handler wrote and the status it ended with, run against a fresh fake console.
struct CommandOutcome {
  int status = -1;
  std::string out;
  std::string err;
  int outWrites = 0;
};

// Calls a handler that never returns and gives the status it ended with through a FakeConsole
// (-1, and a test failure, when it returned).
template <class Call>
int endStatus(Call call) {
  try {
    call();
    ADD_FAILURE() << "the handler returned";
  } catch (const ProcessEnded& ended) {
    return ended.status;
  }
  return -1;
}

// Runs a handler that never returns: `command(context)` must end through the console.
template <class Command>
CommandOutcome runCommand(Platform& platform, const Timings& timings, Command command) {
  FakeConsole console;
  Context context{platform, console, timings};
  CommandOutcome outcome;
  outcome.status = endStatus([&] { command(context); });
  outcome.out = console.stdoutText();
  outcome.err = console.stderrText();
  outcome.outWrites = console.stdoutWrites();
  return outcome;
}
