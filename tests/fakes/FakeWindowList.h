#pragma once

#include <vector>

#include "platform/WindowList.h"

class FakeWindowList final : public WindowList {
 public:
  std::vector<AppWindow> windows;
  std::vector<AppWindow> appWindows() override { return windows; }
};
