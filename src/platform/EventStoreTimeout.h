#pragma once

#include <stdexcept>

// The event store did not answer one call within its limit. Not an EventStoreError: the
// places that take a refusal in their stride (an account offline, a refused list) must not take
// a silent store for one; the command ends instead.
class EventStoreTimeout : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
