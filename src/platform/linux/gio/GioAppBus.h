#pragma once

#include "platform/AppBus.h"

// Name ownership and service activation through GDBus calls to the bus daemon.
// Threads: the command's thread only; the connection is made on first use.
class GioAppBus final : public AppBus {
 public:
  bool hasOwner(const std::string& name) override;
  bool activate(const std::string& name, std::chrono::milliseconds limit) override;
};
