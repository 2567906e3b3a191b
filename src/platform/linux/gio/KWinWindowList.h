#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/WindowList.h"

// Application windows from KWin, which tells them only to its own scripts: each question loads
// a small script through org.kde.KWin /Scripting that sends the window list back over the
// session bus to an object this process exports for the moment, runs it, waits for the answer
// and unloads it. The whole question gives up after the time limit.
// Threads: any; every question has its own main context and object, and no state is kept.
class KWinWindowList final : public WindowList {
 public:
  static constexpr std::chrono::milliseconds DEFAULT_LIMIT{1000};

  KWinWindowList() = default;
  explicit KWinWindowList(std::chrono::milliseconds limit) : limit_(limit) {}

  bool available() override;
  std::vector<AppWindow> appWindows() override;
  std::optional<AppWindow> activeWindow() override;

  // The windows in the script's answer, the active one flagged; nothing when it does not parse.
  struct Listed {
    AppWindow window;
    bool active = false;
  };
  static std::optional<std::vector<Listed>> parseAnswer(const std::string& json);

 private:
  std::optional<std::vector<Listed>> ask();

  std::chrono::milliseconds limit_ = DEFAULT_LIMIT;
};
