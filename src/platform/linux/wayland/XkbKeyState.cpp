#include "platform/linux/wayland/XkbKeyState.h"

#include <xkbcommon/xkbcommon.h>

void XkbKeyState::Free::operator()(xkb_state* state) const { xkb_state_unref(state); }

XkbKeyState::XkbKeyState(const XkbKeymap& keymap)
    : keymap_(keymap), state_(xkb_state_new(keymap_.get())) {}

std::optional<XkbKeyState::Modifiers> XkbKeyState::press(unsigned code, bool down) {
  if (!state_) return std::nullopt;
  xkb_state* state = state_.get();
  const auto changed = xkb_state_update_key(state, code, down ? XKB_KEY_DOWN : XKB_KEY_UP);
  // A lock key's release changes no effective modifier, but clients must see it up.
  if (changed == 0) return std::nullopt;
  return Modifiers{xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
                   xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
                   xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED),
                   xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE)};
}
