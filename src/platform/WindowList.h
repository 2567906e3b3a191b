#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/IconRenderer.h"

// One top-level window a taskbar would show, with what is known of its process.
struct AppWindow {
  long pid = 0;                // 0 when the window does not say
  std::string wmInstance;      // WM_CLASS instance name
  std::string wmClass;         // WM_CLASS class name
  std::string gtkAppId;        // the application id a GTK application puts on its windows
  std::string executable;      // the process's program file, "" when unknown
  std::string launchedEntry;   // the desktop entry the process was launched from, "" when unknown
  bool hidden = false;         // minimised or otherwise hidden
  PixelIcon icon;              // the window's own icon, the size nearest 64 px; may be empty
};

// The windows of the applications on the display. Exists so tests can replace it.
class WindowList {
 public:
  virtual ~WindowList() = default;

  // True when this way of telling the windows works in the running session.
  virtual bool available() { return true; }

  // The application windows in the window manager's order (oldest first); empty when there is
  // no display or no window manager listing them.
  virtual std::vector<AppWindow> appWindows() = 0;
  // The window that has the keyboard (without its icon); nothing when no window is active or
  // there is no window manager to say.
  virtual std::optional<AppWindow> activeWindow() = 0;
};
