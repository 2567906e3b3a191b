#include "platform/linux/evdev/EvdevKeyDevices.h"

#include <fcntl.h>
#include <libevdev/libevdev.h>

#include <memory>

namespace {

struct EvdevFree {
  void operator()(libevdev* device) const { libevdev_free(device); }
};
using Evdev = std::unique_ptr<libevdev, EvdevFree>;

// A libevdev view of an open device: its capabilities and the state of its keys. It does not own
// the descriptor.
Evdev evdevOf(int fd) {
  libevdev* device = nullptr;
  if (libevdev_new_from_fd(fd, &device) < 0) return nullptr;
  return Evdev(device);
}

std::vector<unsigned> keysDownOn(const libevdev* device) {
  std::vector<unsigned> down;
  for (unsigned code = 0; code <= KEY_MAX; ++code) {
    if (libevdev_has_event_code(device, EV_KEY, code) &&
        libevdev_get_event_value(device, EV_KEY, code) != 0) {
      down.push_back(code);
    }
  }
  return down;
}

}  // namespace

std::optional<KeyDevice> EvdevKeyDevices::open(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) return std::nullopt;
  Evdev device = evdevOf(fd.get());
  if (!device) return std::nullopt;
  KeyDevice opened;
  // Power buttons, lid switches and media-key nodes have keys too, but no letters.
  opened.keyboard = libevdev_has_event_code(device.get(), EV_KEY, KEY_A) &&
                    libevdev_has_event_code(device.get(), EV_KEY, KEY_Z) &&
                    libevdev_has_event_code(device.get(), EV_KEY, KEY_SPACE);
  opened.pointer = libevdev_has_event_code(device.get(), EV_KEY, BTN_LEFT);
  if (!opened.keyboard && !opened.pointer) return std::nullopt;
  opened.keysDown = keysDownOn(device.get());
  opened.fd = std::move(fd);
  return opened;
}

std::vector<unsigned> EvdevKeyDevices::keysDown(int fd) {
  Evdev device = evdevOf(fd);
  return device ? keysDownOn(device.get()) : std::vector<unsigned>{};
}
