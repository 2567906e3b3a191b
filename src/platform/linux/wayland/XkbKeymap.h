#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/SyntheticInput.h"

struct xkb_context;
struct xkb_keymap;

// A keyboard layout compiled by xkbcommon: the text a virtual keyboard uploads, and the paste
// keys read from it. Key codes are the display's (xkb) codes: the kernel's code plus 8.
class XkbKeymap {
 public:
  // The layout of these names ("us"; "us" and "dvorak"; "de"). Empty names take the
  // XKB_DEFAULT_LAYOUT and XKB_DEFAULT_VARIANT of the environment, else xkbcommon's default.
  // Nothing when the names do not compile.
  static std::optional<XkbKeymap> fromNames(const std::string& layout = "",
                                            const std::string& variant = "");
  // The layout in keymap text, as a compositor hands it to its clients.
  static std::optional<XkbKeymap> fromText(const std::string& text);

  // The whole keymap, as text ending in a NUL (the form the compositors take).
  std::string text() const;
  PasteKeys pasteKeys() const;

  xkb_keymap* get() const { return keymap_.get(); }

  // The kernel's code of a display key code.
  static unsigned kernelCode(unsigned code) { return code >= 8 ? code - 8 : 0; }

 private:
  struct Free {
    void operator()(xkb_context* context) const;
    void operator()(xkb_keymap* keymap) const;
  };
  XkbKeymap(std::unique_ptr<xkb_context, Free> context, std::unique_ptr<xkb_keymap, Free> keymap);

  std::shared_ptr<xkb_context> context_;
  std::shared_ptr<xkb_keymap> keymap_;
};
