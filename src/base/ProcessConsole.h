#pragma once

#include "base/Console.h"

// The real standard streams of this process. A stream may be a non-blocking pipe inherited from
// the parent: a write that finds the pipe full waits for room and finishes, so a line is never
// cut short. Each call is one write(2) whenever the bytes fit the pipe.
class ProcessConsole final : public Console {
 public:
  static ProcessConsole& shared();

  // Writes to the given descriptors instead of standard output and standard error.
  ProcessConsole(int outFd, int errFd) : outFd_(outFd), errFd_(errFd) {}

  void out(std::string_view bytes) override;
  void err(std::string_view bytes) override;
  [[noreturn]] void end(int status) override;

 private:
  const int outFd_;
  const int errFd_;
};
