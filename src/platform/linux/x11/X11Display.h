#pragma once

#include <X11/Xlib.h>

#include <memory>

struct X11DisplayClose {
  void operator()(Display* display) const { XCloseDisplay(display); }
};

// An owned connection to the X display; none when DISPLAY names no reachable server.
using X11Display = std::unique_ptr<Display, X11DisplayClose>;

X11Display openDisplay();

// Frees what Xlib hands out (atom names, property data, class hints).
struct XFreeDeleter {
  void operator()(void* data) const { XFree(data); }
};

// An error handler that only swallows the error. A window or requestor that vanishes while we
// talk to it makes the server answer with an error, which the default handler would end the
// process for; where this is installed, errors only mean "no value" or "that transfer failed".
int ignoreXError(Display*, XErrorEvent*);
