#pragma once

#include <memory>
#include <mutex>

#include "platform/SyntheticInput.h"
#include "platform/linux/wayland/VirtualKeyboard.h"

// Synthetic input on wlroots compositors: one virtual keyboard for the whole process, made at
// the first use (the probe at start) and kept, so its keymap is uploaded once. A keyboard whose
// connection failed is made again at the next use.
//
// Threads: any. mutex_ guards keyboard_ and the use of its connection: queueing and sending key
// events, neither of which waits (the socket is written without blocking, and read only for
// what has arrived). A keyboard is made without the lock, since that waits on the compositor.
class VirtualKeyboardInput final : public SyntheticInput {
 public:
  bool available() override;
  std::optional<PasteKeys> pasteKeys() override;
  bool post(const std::vector<KeyStep>& steps) override;

 private:
  std::shared_ptr<VirtualKeyboard> keyboard();

  std::mutex mutex_;
  std::shared_ptr<VirtualKeyboard> keyboard_;
};
