#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/InputMonitor.h"

// The key that can be held for hold-to-talk: "control" (either Control key) or "right-option"
// (the right Alt key, which the left Alt key spoils).
class HeldKey {
 public:
  enum class Which { Control, RightOption };

  // "control" or "right-option"; any other word is no key.
  static std::optional<HeldKey> parse(std::string_view word);

  explicit HeldKey(Which which) : which_(which) {}

  std::string_view raw() const;
  // Whether a modifier key's change is a change of this key.
  bool owns(KeyName key) const;
  // Whether the modifiers hold this key down.
  bool isDown(unsigned modifiers) const;
  // Whether no other modifier is down beside this key.
  bool isAlone(unsigned modifiers) const;

  bool operator==(const HeldKey&) const = default;

 private:
  Which which_;
};
