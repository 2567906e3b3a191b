#pragma once

// The desktop's accessibility switch: the IsEnabled property of the session bus's org.a11y.Status.
// Exists so tests can replace it.
class Accessibility {
 public:
  virtual ~Accessibility() = default;

  // True when assistive technologies are switched on. Never starts the accessibility bus.
  virtual bool enabled() = 0;
  // Switches assistive technologies on (starting the accessibility bus if needed).
  // Failures leave the switch as it was; enabled() tells the outcome.
  virtual void enable() = 0;
};
