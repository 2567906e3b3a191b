#pragma once

#include <chrono>
#include <functional>

// Runs work on the hold-key command's main loop once a delay has passed. Exists so tests can
// fire the work themselves instead of waiting.
class Later {
 public:
  // Stops the work from running, if it has not run yet.
  using Cancel = std::function<void()>;

  virtual ~Later() = default;
  virtual Cancel after(std::chrono::duration<double> delay, std::function<void()> work) = 0;
};
