#pragma once

#include "platform/Desktop.h"

// The desktop's applications and links through GIO.
class GioDesktop final : public Desktop {
 public:
  bool isUrl(const std::string& text) override;
};
