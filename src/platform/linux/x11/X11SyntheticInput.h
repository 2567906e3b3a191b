#pragma once

#include "platform/SyntheticInput.h"

// Synthetic input on the X display through the XTEST extension; the keyboard's layout through
// XKB. Threads: any; each call opens its own connection.
class X11SyntheticInput final : public SyntheticInput {
 public:
  bool available() override;
  std::optional<PasteKeys> pasteKeys() override;
  bool post(const std::vector<KeyStep>& steps) override;
};
