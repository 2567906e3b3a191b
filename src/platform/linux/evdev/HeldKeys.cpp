#include "platform/linux/evdev/HeldKeys.h"

#include <linux/input-event-codes.h>

#include <algorithm>

namespace {

struct KeyKind {
  KeyName name = KeyName::Other;
  bool modifier = false;
  unsigned bit = 0;  // its ModifierBit, 0 for modifiers the watcher does not weigh
};

// By the key's place on the keyboard, which is what the kernel reports; AltGr is the right Alt.
KeyKind kindOf(unsigned code) {
  using namespace ModifierBit;
  switch (code) {
    case KEY_ESC: return {KeyName::Escape, false, 0};
    case KEY_LEFTCTRL: return {KeyName::ControlLeft, true, CONTROL};
    case KEY_RIGHTCTRL: return {KeyName::ControlRight, true, CONTROL};
    case KEY_LEFTSHIFT:
    case KEY_RIGHTSHIFT: return {KeyName::ShiftKey, true, SHIFT};
    case KEY_LEFTALT: return {KeyName::AltLeft, true, ALT_LEFT};
    case KEY_RIGHTALT: return {KeyName::AltRight, true, ALT_RIGHT};
    case KEY_LEFTMETA:
    case KEY_RIGHTMETA: return {KeyName::SuperKey, true, SUPER};
    case KEY_CAPSLOCK:
    case KEY_NUMLOCK: return {KeyName::Other, true, 0};
    default: return {};
  }
}

bool isButton(unsigned code) { return code >= BTN_MISC && code < KEY_OK; }

// The X display's number for a mouse button; 0 for buttons that are not a mouse's.
unsigned buttonNumber(unsigned code) {
  switch (code) {
    case BTN_LEFT: return 1;
    case BTN_MIDDLE: return 2;
    case BTN_RIGHT: return 3;
    case BTN_SIDE: return 8;
    case BTN_EXTRA: return 9;
    case BTN_FORWARD: return 10;
    case BTN_BACK: return 11;
    case BTN_TASK: return 12;
    default: return 0;
  }
}

constexpr unsigned DISPLAY_CODE_OFFSET = 8;

}  // namespace

HeldKeys::Events HeldKeys::change(int device, unsigned code, int value) {
  if (isButton(code)) {
    const unsigned button = buttonNumber(code);
    if (value != 1 || button == 0) return {};
    InputEvent click;
    click.type = InputEvent::Type::MouseDown;
    click.code = button;
    return {click};
  }
  if (value == 2) return {};  // auto-repeat: the key is still down
  const bool down = value != 0;
  const bool wasDown = heldAnywhere(code);
  auto& keys = held_[device];
  if (down) {
    keys.insert(code);
  } else {
    keys.erase(code);
  }
  if (heldAnywhere(code) == wasDown) return {};
  return {keyEvent(code, down)};
}

HeldKeys::Events HeldKeys::resync(int device, const std::vector<unsigned>& down) {
  Events events;
  const std::set<unsigned> before = held_[device];
  for (unsigned code : before) {
    if (std::find(down.begin(), down.end(), code) == down.end()) {
      auto made = change(device, code, 0);
      events.insert(events.end(), made.begin(), made.end());
    }
  }
  for (unsigned code : down) {
    if (isButton(code) || before.count(code) > 0) continue;
    auto made = change(device, code, 1);
    events.insert(events.end(), made.begin(), made.end());
  }
  return events;
}

HeldKeys::Events HeldKeys::forget(int device) {
  Events events = resync(device, {});
  held_.erase(device);
  return events;
}

bool HeldKeys::heldAnywhere(unsigned code) const {
  return std::any_of(held_.begin(), held_.end(),
                     [code](const auto& entry) { return entry.second.count(code) > 0; });
}

InputEvent HeldKeys::keyEvent(unsigned code, bool down) const {
  const KeyKind kind = kindOf(code);
  InputEvent event;
  event.code = code + DISPLAY_CODE_OFFSET;
  event.down = down;
  event.key = kind.name;
  if (kind.modifier) {
    event.type = InputEvent::Type::FlagsChanged;
  } else {
    event.type = down ? InputEvent::Type::KeyDown : InputEvent::Type::KeyUp;
  }
  for (const auto& [device, keys] : held_) {
    for (unsigned held : keys) event.modifiers |= kindOf(held).bit;
  }
  return event;
}
