#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/linux/wayland/XkbKeymap.h"

struct xkb_state;

// The modifiers down on a keyboard of one keymap as its key events come: what a virtual
// keyboard reports beside its keys, since clients learn Control or Shift only from it.
// Threads: one at a time (its owner's lock).
class XkbKeyState {
 public:
  struct Modifiers {
    std::uint32_t depressed = 0;
    std::uint32_t latched = 0;
    std::uint32_t locked = 0;
    std::uint32_t group = 0;

    bool operator==(const Modifiers&) const = default;
  };

  explicit XkbKeyState(const XkbKeymap& keymap);

  // Follows one key event (a display key code); the modifiers after it when it changed them.
  std::optional<Modifiers> press(unsigned code, bool down);

 private:
  struct Free {
    void operator()(xkb_state* state) const;
  };

  XkbKeymap keymap_;
  std::unique_ptr<xkb_state, Free> state_;
};
