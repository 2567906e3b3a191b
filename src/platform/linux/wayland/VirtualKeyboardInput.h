#pragma once

#include <memory>
#include <mutex>

#include "platform/SyntheticInput.h"
#include "platform/linux/wayland/VirtualKeyboard.h"

// Synthetic input on wlroots compositors: one virtual keyboard for the whole process, made at
// the first use (the probe at start) and kept, so its keymap is uploaded once. A keyboard whose
// connection failed is made again at the next use.
//
// Threads: any. mutex_ guards keyboard_ and the queueing of key events on it; a keyboard is made
// without the lock (that waits on the compositor) and sent without it.
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
