#pragma once

#include <functional>
#include <string>

// The keys the hold-to-talk watcher tells apart; every other key is Other.
enum class KeyName { Other, Escape, ControlLeft, ControlRight, ShiftKey, AltLeft, AltRight, SuperKey };

// Modifier bits of an input event: the modifiers held after the event, by side where it matters.
namespace ModifierBit {
inline constexpr unsigned SHIFT = 1u << 0;
inline constexpr unsigned CONTROL = 1u << 1;
inline constexpr unsigned ALT_LEFT = 1u << 2;
inline constexpr unsigned ALT_RIGHT = 1u << 3;
inline constexpr unsigned SUPER = 1u << 4;
}  // namespace ModifierBit

// One input event seen anywhere on the desktop.
struct InputEvent {
  enum class Type {
    KeyDown,       // a key that is not a modifier went down
    KeyUp,         // a key that is not a modifier came up
    FlagsChanged,  // a modifier key went down or came up; modifiers is the state after it
    MouseDown,     // a button press (the scroll wheel's buttons excepted)
  };
  Type type = Type::KeyDown;
  unsigned code = 0;  // the display's key code (or button number for MouseDown)
  bool down = true;   // press or release
  KeyName key = KeyName::Other;
  unsigned modifiers = 0;  // ModifierBit bits
};

// Watches the keyboard and mouse of the whole desktop. Exists so tests can replace it.
class InputMonitor {
 public:
  using Handler = std::function<void(const InputEvent&)>;

  virtual ~InputMonitor() = default;

  // True when there is a keyboard to watch (a display, or a keyboard device the user may read).
  virtual bool available() { return true; }

  // Starts delivering every event to the handler, on a thread of the monitor's own, in the
  // order they happened, until the process ends. Returns "" once watching, or why it cannot.
  virtual std::string start(Handler handler) = 0;
};
