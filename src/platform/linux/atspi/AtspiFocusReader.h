#pragma once

#include "platform/FocusReader.h"

// The focused element of an application through AT-SPI2 on the accessibility bus: the
// application is found among the bus's applications by its process id, then its focused
// descendant by one collection query (a walk of its tree where the application offers none).
// Every call waits at most the call limit, and the whole question at most a few of them.
//
// Threads: one thread at a time (the hold-key main loop); the library's state is its own.
class AtspiFocusReader final : public FocusReader {
 public:
  Focus focusIn(long pid, std::chrono::milliseconds callLimit) override;
};
