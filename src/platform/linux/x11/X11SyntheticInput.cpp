#include "platform/linux/x11/X11SyntheticInput.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstring>
#include <memory>

#include "platform/linux/x11/X11Display.h"

namespace {

// The evdev key code of the V position, for a keyboard whose key names cannot be read.
constexpr unsigned EVDEV_V_POSITION = 55;

struct XkbKeyboardFree {
  void operator()(XkbDescPtr keyboard) const { XkbFreeKeyboard(keyboard, 0, True); }
};

// The key at the V position (XKB key name "AB04") of the keyboard.
unsigned vPositionOf(Display* d) {
  std::unique_ptr<XkbDescRec, XkbKeyboardFree> keyboard(XkbAllocKeyboard());
  if (!keyboard || XkbGetNames(d, XkbKeyNamesMask, keyboard.get()) != Success ||
      !keyboard->names || !keyboard->names->keys) {
    return EVDEV_V_POSITION;
  }
  for (unsigned code = keyboard->min_key_code; code <= keyboard->max_key_code; ++code) {
    if (std::strncmp(keyboard->names->keys[code].name, "AB04", XkbKeyNameLength) == 0) return code;
  }
  return EVDEV_V_POSITION;
}

// The character a keysym types, for Latin-1 and Unicode keysyms.
std::optional<char32_t> characterOf(KeySym symbol) {
  if ((symbol >= 0x20 && symbol <= 0x7e) || (symbol >= 0xa0 && symbol <= 0xff)) {
    return static_cast<char32_t>(symbol);
  }
  if ((symbol & 0xff000000) == 0x01000000) return static_cast<char32_t>(symbol & 0x00ffffff);
  return std::nullopt;
}

}  // namespace

bool X11SyntheticInput::available() {
  X11Display display = openDisplay();
  if (!display) return false;
  int event = 0, error = 0, major = 0, minor = 0;
  return XTestQueryExtension(display.get(), &event, &error, &major, &minor);
}

std::optional<PasteKeys> X11SyntheticInput::pasteKeys() {
  X11Display display = openDisplay();
  if (!display) return std::nullopt;
  Display* d = display.get();
  XkbStateRec state{};
  XkbGetState(d, XkbUseCoreKbd, &state);
  int minCode = 0, maxCode = 0;
  XDisplayKeycodes(d, &minCode, &maxCode);
  PasteKeys keys;
  keys.control = XKeysymToKeycode(d, XK_Control_L);
  keys.shift = XKeysymToKeycode(d, XK_Shift_L);
  keys.vPosition = vPositionOf(d);
  keys.typed.resize(static_cast<std::size_t>(maxCode) + 1);
  for (int code = minCode; code <= maxCode; ++code) {
    keys.typed[static_cast<std::size_t>(code)] =
        characterOf(XkbKeycodeToKeysym(d, static_cast<KeyCode>(code), state.group, 0));
  }
  return keys;
}

bool X11SyntheticInput::post(const std::vector<KeyStep>& steps) {
  X11Display display = openDisplay();
  if (!display) return false;
  for (const auto& step : steps) {
    XTestFakeKeyEvent(display.get(), step.code, step.down ? True : False, CurrentTime);
  }
  XSync(display.get(), False);
  return true;
}
