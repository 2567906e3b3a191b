#include "platform/linux/evdev/HeldKeys.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

namespace {

using Type = InputEvent::Type;
using namespace ModifierBit;

struct Change {
  int device;
  unsigned code;
  int value;
};

// type, code, down, key, modifiers
using Seen = std::tuple<Type, unsigned, bool, KeyName, unsigned>;

struct Case {
  const char* name;
  std::vector<Change> changes;
  std::vector<Seen> seen;  // every event the changes made, in order
};

TEST(HeldKeys, turnsDeviceChangesIntoTheDisplaysEvents) {
  const unsigned lctrl = KEY_LEFTCTRL + 8, rctrl = KEY_RIGHTCTRL + 8, ralt = KEY_RIGHTALT + 8;
  const unsigned a = KEY_A + 8;
  const std::vector<Case> cases = {
      {"right Alt alone",
       {{0, KEY_RIGHTALT, 1}, {0, KEY_RIGHTALT, 2}, {0, KEY_RIGHTALT, 0}},
       {{Type::FlagsChanged, ralt, true, KeyName::AltRight, ALT_RIGHT},
        {Type::FlagsChanged, ralt, false, KeyName::AltRight, 0}}},
      {"both Controls, one released: still Control",
       {{0, KEY_LEFTCTRL, 1}, {0, KEY_RIGHTCTRL, 1}, {0, KEY_LEFTCTRL, 0}},
       {{Type::FlagsChanged, lctrl, true, KeyName::ControlLeft, CONTROL},
        {Type::FlagsChanged, rctrl, true, KeyName::ControlRight, CONTROL},
        {Type::FlagsChanged, lctrl, false, KeyName::ControlLeft, CONTROL}}},
      {"modifiers held on another keyboard count",
       {{0, KEY_LEFTSHIFT, 1}, {1, KEY_A, 1}, {1, KEY_A, 2}, {1, KEY_A, 0}},
       {{Type::FlagsChanged, KEY_LEFTSHIFT + 8, true, KeyName::ShiftKey, SHIFT},
        {Type::KeyDown, a, true, KeyName::Other, SHIFT},
        {Type::KeyUp, a, false, KeyName::Other, SHIFT}}},
      {"a key two keyboards hold goes down and up once",
       {{0, KEY_A, 1}, {1, KEY_A, 1}, {0, KEY_A, 0}, {1, KEY_A, 0}},
       {{Type::KeyDown, a, true, KeyName::Other, 0}, {Type::KeyUp, a, false, KeyName::Other, 0}}},
      {"Escape, Super and Caps Lock",
       {{0, KEY_ESC, 1}, {0, KEY_LEFTMETA, 1}, {0, KEY_CAPSLOCK, 1}},
       {{Type::KeyDown, KEY_ESC + 8, true, KeyName::Escape, 0},
        {Type::FlagsChanged, KEY_LEFTMETA + 8, true, KeyName::SuperKey, SUPER},
        {Type::FlagsChanged, KEY_CAPSLOCK + 8, true, KeyName::Other, SUPER}}},
      {"button presses are clicks, releases and non-mouse buttons nothing",
       {{0, BTN_LEFT, 1}, {0, BTN_LEFT, 0}, {0, BTN_RIGHT, 1}, {0, BTN_TOUCH, 1}},
       {{Type::MouseDown, 1, true, KeyName::Other, 0},
        {Type::MouseDown, 3, true, KeyName::Other, 0}}},
      {"a release of a key never seen down is nothing",
       {{0, KEY_LEFTALT, 0}, {0, KEY_B, 2}},
       {}},
  };
  for (const auto& c : cases) {
    HeldKeys keys;
    std::vector<Seen> seen;
    for (const auto& change : c.changes) {
      for (const auto& e : keys.change(change.device, change.code, change.value)) {
        seen.emplace_back(e.type, e.code, e.down, e.key, e.modifiers);
      }
    }
    EXPECT_EQ(seen, c.seen) << c.name;
  }
}

}  // namespace
