#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/linux/UniqueFd.h"

// An input device opened for its key and button events.
struct KeyDevice {
  UniqueFd fd;                     // open for reading, non-blocking
  bool keyboard = false;           // it has letter keys
  bool pointer = false;            // it has mouse buttons
  std::vector<unsigned> keysDown;  // kernel key codes held when it was opened
};

// Finds and opens the keyboards and pointers of the machine. Exists so tests can replace the
// devices with pipes fed by recorded events.
class KeyDevices {
 public:
  virtual ~KeyDevices() = default;

  // The folder whose event* files are the devices; they come and go while the program runs.
  virtual std::string folder() = 0;
  // Opens the device file; nothing when it cannot be read or is neither keyboard nor pointer.
  virtual std::optional<KeyDevice> open(const std::string& path) = 0;
  // The kernel key codes held now on an open device (after the kernel dropped some events).
  virtual std::vector<unsigned> keysDown(int fd) = 0;
};
