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

struct Seen {
  Type type;
  unsigned code;
  bool down;
  KeyName key;
  unsigned modifiers;
};

struct Case {
  const char* name;
  std::vector<Change> changes;
  std::vector<Seen> seen;  // every event the changes made, in order
};

std::vector<Seen> seenOf(const HeldKeys::Events& events) {
  std::vector<Seen> seen;
  for (const auto& e : events) seen.push_back({e.type, e.code, e.down, e.key, e.modifiers});
  return seen;
}

bool operator==(const Seen& a, const Seen& b) {
  return a.type == b.type && a.code == b.code && a.down == b.down && a.key == b.key &&
         a.modifiers == b.modifiers;
}

void PrintTo(const Seen& s, std::ostream* out) {
  *out << "{type " << static_cast<int>(s.type) << " code " << s.code << " down " << s.down
       << " key " << static_cast<int>(s.key) << " mods " << s.modifiers << "}";
}

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
    HeldKeys::Events events;
    for (const auto& change : c.changes) {
      auto made = keys.change(change.device, change.code, change.value);
      events.insert(events.end(), made.begin(), made.end());
    }
    EXPECT_EQ(seenOf(events), c.seen) << c.name;
  }
}

TEST(HeldKeys, resyncAndForgetReleaseWhatADeviceNoLongerHolds) {
  HeldKeys keys;
  EXPECT_EQ(keys.resync(0, {KEY_LEFTCTRL, KEY_RIGHTALT}).size(), 2u);
  keys.change(1, KEY_LEFTCTRL, 1);
  // After dropped events: left Ctrl came up on device 0 (still down on 1), Shift went down.
  EXPECT_EQ(seenOf(keys.resync(0, {KEY_RIGHTALT, KEY_LEFTSHIFT})),
            (std::vector<Seen>{{Type::FlagsChanged, KEY_LEFTSHIFT + 8, true, KeyName::ShiftKey,
                                CONTROL | ALT_RIGHT | SHIFT}}));
  // Unplugged while holding right Alt and Shift.
  EXPECT_EQ(seenOf(keys.forget(0)),
            (std::vector<Seen>{{Type::FlagsChanged, KEY_LEFTSHIFT + 8, false, KeyName::ShiftKey,
                                CONTROL | ALT_RIGHT},
                               {Type::FlagsChanged, KEY_RIGHTALT + 8, false, KeyName::AltRight,
                                CONTROL}}));
}

}  // namespace
