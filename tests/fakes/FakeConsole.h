#pragma once

#include <mutex>
#include <string>

#include "base/Console.h"

// What the process would have ended with, thrown by FakeConsole::end.
struct ProcessEnded {
  int status;
};

// Records what a command writes; its ending throws ProcessEnded instead of exiting.
class FakeConsole final : public Console {
 public:
  void out(std::string_view bytes) override {
    std::lock_guard lock(mutex_);
    out_ += bytes;
    ++outWrites_;
  }
  void err(std::string_view bytes) override {
    std::lock_guard lock(mutex_);
    err_ += bytes;
  }
  [[noreturn]] void end(int status) override { throw ProcessEnded{status}; }

  std::string stdoutText() const {
    std::lock_guard lock(mutex_);
    return out_;
  }
  std::string stderrText() const {
    std::lock_guard lock(mutex_);
    return err_;
  }
  int stdoutWrites() const {
    std::lock_guard lock(mutex_);
    return outWrites_;
  }

 private:
  mutable std::mutex mutex_;
  std::string out_;
  std::string err_;
  int outWrites_ = 0;
};
