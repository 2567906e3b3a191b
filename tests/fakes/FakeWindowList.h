#pragma once

#include <optional>
#include <vector>

#include "platform/WindowList.h"

class FakeWindowList final : public WindowList {
 public:
  std::vector<AppWindow> windows;
  std::optional<AppWindow> active;
  int activeQuestions = 0;
  std::vector<AppWindow> appWindows() override { return windows; }
  std::optional<AppWindow> activeWindow() override {
    ++activeQuestions;
    return active;
  }
};
