#pragma once

#include "platform/linux/evdev/KeyDevices.h"

// The event devices under /dev/input, told apart and read with libevdev. A device the user may
// not read (not in the `input` group) is simply not there for this program.
// Threads: any; it keeps no state.
class EvdevKeyDevices final : public KeyDevices {
 public:
  std::string folder() override { return "/dev/input"; }
  std::optional<KeyDevice> open(const std::string& path) override;
  std::vector<unsigned> keysDown(int fd) override;
};
