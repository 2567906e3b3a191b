#pragma once

#include <chrono>

#include "platform/WindowList.h"

// The applications with windows, and the front one, as the accessibility bus tells them: for
// Wayland desktops that tell no other client (GNOME). The front application is the one with an
// active frame or dialog, else the one holding the focused element. Its process id, and its
// name as wmClass. Each call waits at most a few call limits.
//
// Threads: one thread at a time (the hold-key main loop, or a command's thread); the library's
// state is its own.
class AtspiWindowList final : public WindowList {
 public:
  explicit AtspiWindowList(std::chrono::milliseconds callLimit = std::chrono::milliseconds(250));

  // True when the accessibility bus answers.
  bool available() override;
  // One entry per application with a frame or dialog, in the bus's order.
  std::vector<AppWindow> appWindows() override;
  std::optional<AppWindow> activeWindow() override;

 private:
  std::chrono::milliseconds callLimit_;
};
