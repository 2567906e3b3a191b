#pragma once

#include <gtest/gtest.h>

#include <string>

#include "fakes/FakeConsole.h"
#include "main/Context.h"

// What a handler wrote and the status it ended with, run against a fresh fake console.
struct CommandOutcome {
  int status = -1;
  std::string out;
  std::string err;
  int outWrites = 0;
};

// Runs a handler that never returns: `command(context)` must end through the console.
template <class Command>
CommandOutcome runCommand(Platform& platform, const Timings& timings, Command command) {
  FakeConsole console;
  Context context{platform, console, timings};
  CommandOutcome outcome;
  try {
    command(context);
    ADD_FAILURE() << "the handler returned";
  } catch (const ProcessEnded& ended) {
    outcome.status = ended.status;
  }
  outcome.out = console.stdoutText();
  outcome.err = console.stderrText();
  outcome.outWrites = console.stdoutWrites();
  return outcome;
}
