#pragma once

#include <cstddef>
#include <span>
#include <vector>

// Turns the bytes read from one event device (whole or split `struct input_event` records) into
// its key changes. When the kernel reports that it dropped events, everything up to the end of
// that frame is skipped and a resync step asks for the device's key state instead.
// Threads: the one reading the device.
class InputEventDecoder {
 public:
  struct Step {
    enum class Kind { Key, Resync };
    Kind kind = Kind::Key;
    unsigned code = 0;  // kernel key or button code
    int value = 0;      // 0 release, 1 press, 2 auto-repeat
  };

  std::vector<Step> feed(std::span<const std::byte> bytes);

 private:
  std::vector<std::byte> partial_;  // the start of a record the next read completes
  bool dropping_ = false;
};
