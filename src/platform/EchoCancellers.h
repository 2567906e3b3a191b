#pragma once

#include <memory>
#include <stdexcept>

#include "platform/EchoCanceller.h"

// Makes echo cancellers. Exists so tests can replace it. A platform whose canceller cannot be
// loaded throws Unavailable from its first use, and again from each later one; the caller goes
// on without cancelling.
class EchoCancellers {
 public:
  struct Unavailable : std::runtime_error {
    using std::runtime_error::runtime_error;
  };

  virtual ~EchoCancellers() = default;

  // A canceller for one microphone, its filter not yet adapted. Throws EchoCanceller::Failure.
  virtual std::unique_ptr<EchoCanceller> make() = 0;
};
