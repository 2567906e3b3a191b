#pragma once

#include <X11/Xlib.h>

#include <memory>

struct X11DisplayClose {
  void operator()(Display* display) const { XCloseDisplay(display); }
};

// An owned connection to the X display; none when DISPLAY names no reachable server.
using X11Display = std::unique_ptr<Display, X11DisplayClose>;

X11Display openDisplay();
