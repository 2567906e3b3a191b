#pragma once

#include <glib.h>

#include <chrono>
#include <functional>

// A main context of the calling thread's own, its default for as long as this lives:
// asynchronous calls started meanwhile answer on it, and what they answer runs only inside
// runUntil(), so no other source runs meanwhile and nothing runs once the caller stopped waiting.
// Threads: built, run and destroyed on one thread.
class OwnContext {
 public:
  using Clock = std::chrono::steady_clock;

  OwnContext();
  ~OwnContext();
  OwnContext(const OwnContext&) = delete;
  OwnContext& operator=(const OwnContext&) = delete;

  // Runs the context until done() or the deadline; done() as it stands then.
  bool runUntil(const std::function<bool()>& done, Clock::time_point deadline);

 private:
  GMainContext* context_;
};
