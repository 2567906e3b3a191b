#pragma once

#include <string>
#include <vector>

#include "platform/AppCatalog.h"
#include "platform/WindowList.h"

// One running application as running-apps lists it.
struct RunningApp {
  std::string name;
  bool hidden = false;  // every window of it is hidden or minimised
  IconRef icon;
  PixelIcon windowIcon;  // the first window's own icon, for when `icon` cannot be drawn
};

// The desktop entry a window's application was started from, or none: by the GTK application
// id, the entry GIO launched the process from, the window class (StartupWMClass, then the
// entry's id), then the program file.
const AppEntry* entryOfWindow(const AppWindow& window, const std::vector<AppEntry>& entries);

// The applications behind the windows: one per process (windows without a process: one per
// window class), in the order of their first window. Named after their desktop entry, else
// after their window class; an application with neither is left out. The icon is the entry's,
// with the window's own as the fallback.
std::vector<RunningApp> runningApps(const std::vector<AppWindow>& windows,
                                    const std::vector<AppEntry>& entries);
