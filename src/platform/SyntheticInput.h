#pragma once

#include <optional>
#include <vector>

// One synthetic key event: the display's key code, pressed or released.
struct KeyStep {
  unsigned code = 0;
  bool down = true;

  bool operator==(const KeyStep&) const = default;
};

// The key codes the paste keystroke is built from, on the keyboard as it is laid out now.
struct PasteKeys {
  unsigned control = 0;
  unsigned shift = 0;
  unsigned vPosition = 0;              // the key at the V position, whatever it types
  std::vector<std::optional<char32_t>> typed;  // by key code: the character it types alone
};

// Synthetic key events on the display. Exists so tests can replace it.
class SyntheticInput {
 public:
  virtual ~SyntheticInput() = default;

  // True when a display is reachable and it accepts synthetic input (the XTEST extension).
  virtual bool available() = 0;
  // The keyboard's paste keys and what each key code types; nothing without a display.
  virtual std::optional<PasteKeys> pasteKeys() = 0;
  // Posts the key events back to back, in order. Returns false when there is no display.
  virtual bool post(const std::vector<KeyStep>& steps) = 0;
};
