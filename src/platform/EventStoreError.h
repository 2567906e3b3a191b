#pragma once

#include <stdexcept>
#include <string>

// A refusal or failure of the event store, carrying the store's own description.
class EventStoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
