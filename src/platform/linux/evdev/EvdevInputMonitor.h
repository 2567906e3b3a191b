#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/InputMonitor.h"
#include "platform/linux/UniqueFd.h"
#include "platform/linux/evdev/HeldKeys.h"
#include "platform/linux/evdev/InputEventDecoder.h"
#include "platform/linux/evdev/KeyDevices.h"

// Every key press and release and every button press of the machine's keyboards and mice, read
// from their event devices, so it works under any display server. Needs read access to the
// devices (the `input` group); without it, start() still succeeds and available() says false.
// Keyboards plugged in later, or made readable later, are picked up through inotify on the
// device folder; a device that goes away releases the keys it held.
//
// Threads: start() once and available() from any thread; the devices are read and the handler
// called on the monitor's own thread "vesk.keys", which alone uses open_, held_ and nextId_
// after start() returned. No mutex: nothing else is shared, and stopping_ is atomic.
class EvdevInputMonitor final : public InputMonitor {
 public:
  EvdevInputMonitor();
  explicit EvdevInputMonitor(std::unique_ptr<KeyDevices> devices);
  ~EvdevInputMonitor() override;
  EvdevInputMonitor(const EvdevInputMonitor&) = delete;
  EvdevInputMonitor& operator=(const EvdevInputMonitor&) = delete;

  bool available() override;
  std::string start(Handler handler) override;

 private:
  struct OpenDevice {
    int id = 0;
    std::string path;
    KeyDevice device;
    InputEventDecoder decoder;
  };

  std::vector<std::string> devicePaths() const;
  HeldKeys::Events openDevice(const std::string& path);
  HeldKeys::Events closeDevice(const std::string& path);
  HeldKeys::Events folderChanged();
  bool isOpen(const std::string& path) const;
  // Reads what the device has; false once it is gone.
  bool readDevice(OpenDevice& open, HeldKeys::Events& events);
  void watch(const Handler& handler);
  void watchDevices(const Handler& handler);

  std::unique_ptr<KeyDevices> devices_;
  std::vector<std::unique_ptr<OpenDevice>> open_;
  HeldKeys held_;
  int nextId_ = 0;
  UniqueFd folderWatch_;
  UniqueFd wake_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};
