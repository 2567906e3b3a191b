#include "platform/linux/wayland/VirtualKeyboardInput.h"

#include <chrono>
#include <thread>

namespace {

// Connecting, reading the seat's keymap and uploading it: a few answers of the compositor.
constexpr std::chrono::milliseconds KEYBOARD_SETUP_LIMIT{2000};

}  // namespace

bool VirtualKeyboardInput::available() { return keyboard() != nullptr; }

std::optional<PasteKeys> VirtualKeyboardInput::pasteKeys() {
  auto keyboard = this->keyboard();
  if (!keyboard) return std::nullopt;
  return keyboard->keymap().pasteKeys();
}

bool VirtualKeyboardInput::post(const std::vector<KeyStep>& steps) {
  auto keyboard = this->keyboard();
  if (!keyboard) return false;
  std::this_thread::sleep_until(keyboard->readyAt());  // at once but for a keyboard just made
  std::lock_guard lock(mutex_);
  keyboard->queue(steps);
  if (keyboard->send()) return true;
  if (keyboard_ == keyboard) keyboard_.reset();
  return false;
}

std::shared_ptr<VirtualKeyboard> VirtualKeyboardInput::keyboard() {
  {
    std::lock_guard lock(mutex_);
    if (keyboard_) return keyboard_;
  }
  std::shared_ptr<VirtualKeyboard> made =
      VirtualKeyboard::create(std::chrono::steady_clock::now() + KEYBOARD_SETUP_LIMIT);
  if (!made) return nullptr;
  std::lock_guard lock(mutex_);
  if (!keyboard_) keyboard_ = std::move(made);  // else another thread's keyboard came first
  return keyboard_;
}
