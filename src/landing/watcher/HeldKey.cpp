#include "landing/watcher/HeldKey.h"

using namespace ModifierBit;

std::optional<HeldKey> HeldKey::parse(std::string_view word) {
  if (word == "control") return HeldKey(Which::Control);
  if (word == "right-option") return HeldKey(Which::RightOption);
  return std::nullopt;
}

std::string_view HeldKey::raw() const {
  return which_ == Which::Control ? "control" : "right-option";
}

bool HeldKey::owns(KeyName key) const {
  if (which_ == Which::Control) return key == KeyName::ControlLeft || key == KeyName::ControlRight;
  return key == KeyName::AltRight;
}

bool HeldKey::isDown(unsigned modifiers) const {
  return (modifiers & (which_ == Which::Control ? CONTROL : ALT_RIGHT)) != 0;
}

bool HeldKey::isAlone(unsigned modifiers) const {
  const unsigned others =
      which_ == Which::Control ? SHIFT | ALT_LEFT | ALT_RIGHT | SUPER : SHIFT | CONTROL | SUPER | ALT_LEFT;
  return (modifiers & others) == 0;
}
