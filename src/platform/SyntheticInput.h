#pragma once

// Synthetic key events on the display. Exists so tests can replace it.
class SyntheticInput {
 public:
  virtual ~SyntheticInput() = default;

  // True when a display is reachable and it accepts synthetic input (the XTEST extension).
  virtual bool available() = 0;
};
