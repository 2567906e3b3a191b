#pragma once

#include "platform/SyntheticInput.h"

// Synthetic input on the X display through the XTEST extension.
class X11SyntheticInput final : public SyntheticInput {
 public:
  bool available() override;
};
