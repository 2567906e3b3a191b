#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

// What one run of the built binary wrote and how it ended.
struct RunResult {
  std::string out;
  std::string err;
  int status = -1;  // the exit status, or 128 + signal when a signal ended it
};

struct RunOptions {
  std::string input;                               // standard input, then end of input
  std::map<std::string, std::optional<std::string>> env;  // set (value) or unset (nullopt)
  int timeoutSeconds = 30;                         // killed with SIGKILL after this
  bool closedOutput = false;  // standard output is a pipe nobody reads: every write fails
};

// Runs the built vesk-native with the arguments and returns its exact bytes and status.
RunResult runVesk(const std::vector<std::string>& args, const RunOptions& options = {});

// Runs any program the same way.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options = {});

// What execve() takes to start a program with the arguments and the options' environment.
struct ProgramLine {
  ProgramLine(const std::string& program, const std::vector<std::string>& args,
              const RunOptions& options);
  ProgramLine(const ProgramLine&) = delete;
  ProgramLine& operator=(const ProgramLine&) = delete;

  std::vector<std::string> argvText;
  std::vector<std::string> envText;
  std::vector<char*> argv;  // into argvText, null-ended
  std::vector<char*> envp;  // into envText, null-ended
};

// A program started with its standard input, output and error on pipes: their other ends, which
// the caller closes.
struct PipedProgram {
  explicit PipedProgram(const ProgramLine& line);

  pid_t pid = -1;
  int in = -1;   // written to
  int out = -1;  // read from
  int err = -1;  // read from
};
