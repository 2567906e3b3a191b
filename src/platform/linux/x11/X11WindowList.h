#pragma once

#include "platform/WindowList.h"

// Application windows from the window manager's client list (EWMH) on the X display, with
// their process facts from /proc. Threads: the command's thread only.
class X11WindowList final : public WindowList {
 public:
  std::vector<AppWindow> appWindows() override;
  std::optional<AppWindow> activeWindow() override;
};
