#pragma once

#include <string>
#include <vector>

// Which mechanism serves each need of hold-to-talk in the running session, and what the user
// must do where none can. Mechanisms: keys "xinput", "evdev"; paste "xtest",
// "virtual-keyboard", "remote-desktop"; clipboard "x11", "data-control"; front "ewmh", "sway",
// "kwin", "atspi"; "none" where nothing serves.
struct SessionBackends {
  std::string session;  // "x11" or "wayland"
  std::string keys;
  std::string paste;
  std::string clipboard;
  std::string front;
  std::vector<std::string> missing;  // one sentence per need left unserved, with its remedy

  bool operator==(const SessionBackends&) const = default;
};
