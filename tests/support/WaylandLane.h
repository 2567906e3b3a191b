#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "support/LiveProcess.h"

// True inside the headless session of this compositor (tests/services/wayland-session.sh).
inline bool inWaylandLane(const std::string& compositor) {
  const char* lane = std::getenv("VESK_WAYLAND_LANE");
  return lane && compositor == lane;
}

// tests/services/entry-window.py with the entry `focus` ("plain" or "secret") focused, once it
// said it is shown; its lines tell every change of the entries.
inline std::unique_ptr<LiveProcess> openEntryWindow(const std::string& focus = "plain") {
  auto window = std::make_unique<LiveProcess>(
      "/usr/bin/python3", std::vector<std::string>{VESK_SOURCE_DIR "/tests/services/entry-window.py", focus},
      std::map<std::string, std::optional<std::string>>{});
  if (!window->waitForLine([](const std::string& l) { return l == "ready"; },
                           std::chrono::seconds(10))) {
    ADD_FAILURE() << "the entry window did not show: " << window->err();
  }
  return window;
}
