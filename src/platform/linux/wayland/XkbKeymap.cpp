#include "platform/linux/wayland/XkbKeymap.h"

#include <xkbcommon/xkbcommon.h>

namespace {

// The key at the V position (key name AB04) on a keymap that does not name its keys.
constexpr unsigned KERNEL_V = 47;

// The first key code whose first level types `sym` in the first group.
unsigned codeOf(xkb_keymap* keymap, xkb_keysym_t sym) {
  for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap);
       ++code) {
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &syms);
    if (count > 0 && syms[0] == sym) return code;
  }
  return 0;
}

}  // namespace

void XkbKeymap::Free::operator()(xkb_context* context) const { xkb_context_unref(context); }
void XkbKeymap::Free::operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }

XkbKeymap::XkbKeymap(std::unique_ptr<xkb_context, Free> context,
                     std::unique_ptr<xkb_keymap, Free> keymap)
    : context_(std::move(context)), keymap_(std::move(keymap)) {}

std::optional<XkbKeymap> XkbKeymap::fromNames(const std::string& layout,
                                              const std::string& variant) {
  std::unique_ptr<xkb_context, Free> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
  if (!context) return std::nullopt;
  xkb_rule_names names{};
  if (!layout.empty()) names.layout = layout.c_str();
  if (!variant.empty()) names.variant = variant.c_str();
  std::unique_ptr<xkb_keymap, Free> keymap(
      xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
  if (!keymap) return std::nullopt;
  return XkbKeymap(std::move(context), std::move(keymap));
}

std::optional<XkbKeymap> XkbKeymap::fromText(const std::string& text) {
  std::unique_ptr<xkb_context, Free> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
  if (!context) return std::nullopt;
  // The parser takes a NUL ending the text (the form text() gives) for a stray token.
  const auto length = text.find_last_not_of('\0') + 1;
  std::unique_ptr<xkb_keymap, Free> keymap(xkb_keymap_new_from_buffer(
      context.get(), text.data(), length, XKB_KEYMAP_FORMAT_TEXT_V1,
      XKB_KEYMAP_COMPILE_NO_FLAGS));
  if (!keymap) return std::nullopt;
  return XkbKeymap(std::move(context), std::move(keymap));
}

std::string XkbKeymap::text() const {
  std::unique_ptr<char, void (*)(void*)> text(
      xkb_keymap_get_as_string(keymap_.get(), XKB_KEYMAP_FORMAT_TEXT_V1), free);
  if (!text) return {};
  return std::string(text.get()) + '\0';
}

PasteKeys XkbKeymap::pasteKeys() const {
  xkb_keymap* keymap = keymap_.get();
  PasteKeys keys;
  keys.control = codeOf(keymap, XKB_KEY_Control_L);
  keys.shift = codeOf(keymap, XKB_KEY_Shift_L);
  const xkb_keycode_t named = xkb_keymap_key_by_name(keymap, "AB04");
  keys.vPosition = named != XKB_KEYCODE_INVALID ? named : KERNEL_V + 8;
  keys.typed.resize(xkb_keymap_max_keycode(keymap) + 1);
  for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap);
       ++code) {
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &syms) < 1) continue;
    if (const char32_t typed = xkb_keysym_to_utf32(syms[0]); typed != 0) keys.typed[code] = typed;
  }
  return keys;
}
