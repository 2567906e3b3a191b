#pragma once

#include <atspi/atspi.h>

#include <chrono>
#include <optional>
#include <vector>

#include "platform/linux/gio/GioHandles.h"

// One question to the applications on the accessibility bus. Every call of the library waits at
// most the call limit, and the walks of the question stop at its deadline (a few call limits).
// The bus's signals that came since the last question are handled first, so the library's view
// of the applications and their states is current.
//
// Threads: one thread at a time (the hold-key main loop, or a command's thread); the library's
// state is its own.
class AtspiDesktop {
 public:
  using Clock = std::chrono::steady_clock;

  // Nothing when the library cannot reach the accessibility bus.
  static std::optional<AtspiDesktop> ask(std::chrono::milliseconds callLimit, int callsPerQuestion);

  bool expired() const { return Clock::now() >= deadline_; }
  // True when the bus answered for its applications.
  bool answers();
  // The applications on the bus, in the bus's order (oldest first), as many as time allows.
  std::vector<GObjectPtr<AtspiAccessible>> applications();
  // The application of the process; none when it is not on the bus.
  GObjectPtr<AtspiAccessible> applicationOf(long pid);
  // The children of an element, at most `most` of them.
  std::vector<GObjectPtr<AtspiAccessible>> childrenOf(AtspiAccessible* accessible, int most);
  // The focused descendant of an application: by one collection query, or a walk of its tree
  // where it offers none. Nothing when that could not be told in time; an empty pointer inside
  // when nothing has focus.
  std::optional<GObjectPtr<AtspiAccessible>> focusedIn(AtspiAccessible* app);

  static bool hasState(AtspiAccessible* accessible, AtspiStateType state);
  // The process of an application; 0 when it does not say.
  static long processOf(AtspiAccessible* app);

 private:
  AtspiDesktop(GObjectPtr<AtspiAccessible> desktop, Clock::time_point deadline);
  GObjectPtr<AtspiAccessible> focusedByWalk(AtspiAccessible* accessible, int depth);

  GObjectPtr<AtspiAccessible> desktop_;
  Clock::time_point deadline_;
};
