#pragma once

#include <string_view>

// The process's standard output, standard error and its ending.
// Exists so tests can replace it: the fake records bytes and turns the ending into an exception.
// Called from any thread; implementations write each call with one unbuffered write.
class Console {
 public:
  virtual ~Console() = default;

  // Writes the bytes to standard output, unbuffered. Errors (a closed pipe) are ignored.
  virtual void out(std::string_view bytes) = 0;
  // Writes the bytes to standard error, unbuffered. Errors are ignored.
  virtual void err(std::string_view bytes) = 0;
  // Ends the process with the status, destroying nothing: flushes the C stdio streams, then _exit.
  [[noreturn]] virtual void end(int status) = 0;
};
