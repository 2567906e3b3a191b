#pragma once

#include <map>
#include <set>
#include <vector>

#include "platform/InputMonitor.h"

// The keys held on every keyboard, and the input events their changes make. A key counts as
// down while any device holds it, so its press and release are told once even when two
// keyboards share it, and the modifiers are those held anywhere (left and right Control both
// down, one released: Control is still down). Codes in events are the display's key codes,
// kernel code + 8; buttons are numbered as on an X display.
// Threads: the monitor's own thread alone.
class HeldKeys {
 public:
  using Events = std::vector<InputEvent>;

  // A key or button of a device changed (value 0 release, 1 press, 2 auto-repeat).
  Events change(int device, unsigned code, int value);
  // The device now holds exactly these keys: the changes since it was last told.
  Events resync(int device, const std::vector<unsigned>& down);
  // The device went away: every key it held comes up.
  Events forget(int device);

 private:
  bool heldAnywhere(unsigned code) const;
  InputEvent keyEvent(unsigned code, bool down) const;

  std::map<int, std::set<unsigned>> held_;  // kernel key codes held, by device
};
