#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/Run.h"

// A program running beside a test (a recorder, a player, a sound server), its output discarded;
// interrupted, then killed, and reaped when the test ends.
class BackgroundProgram {
 public:
  // Starts the program (looked up in PATH) with the options' environment; their input and
  // time-out do not apply.
  BackgroundProgram(const std::string& program, const std::vector<std::string>& args,
                    const RunOptions& options = {});
  ~BackgroundProgram();
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;

  pid_t pid() const { return pid_; }
  // True while it has not exited.
  bool running();

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
};
