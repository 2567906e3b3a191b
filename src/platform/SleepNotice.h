#pragma once

#include <functional>

// Word from the login manager that the computer is about to sleep. Exists so tests can replace
// it; the real one listens on the system bus.
class SleepNotice {
 public:
  virtual ~SleepNotice() = default;

  // Calls willSleep (on a thread of the notice's) each time the computer is about to sleep, for
  // the life of the process. Returns at once; without a system bus nothing is ever called.
  virtual void watch(std::function<void()> willSleep) = 0;
};
