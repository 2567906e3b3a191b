#pragma once

#include <chrono>
#include <string>

#include "platform/WindowList.h"

// Application windows from sway's layout tree over its IPC socket ($SWAYSOCK), with their
// process facts from /proc. Every request gives up after the time limit.
// Threads: the command's thread only; it keeps no state beyond its settings.
class SwayWindowList final : public WindowList {
 public:
  static constexpr std::chrono::milliseconds DEFAULT_LIMIT{1000};

  SwayWindowList();
  // socketPath: sway's socket, "" when there is none.
  SwayWindowList(std::string socketPath, std::chrono::milliseconds limit);

  bool available() override;
  std::vector<AppWindow> appWindows() override;
  std::optional<AppWindow> activeWindow() override;

 private:
  std::string socketPath_;
  std::chrono::milliseconds limit_;
};
