#pragma once

#include <string>

#include "platform/InputMonitor.h"

// An input monitor the test drives: send() delivers an event as the real one would.
class FakeInputMonitor final : public InputMonitor {
 public:
  std::string problem;  // when set, start() refuses with it
  Handler handler;

  std::string start(Handler h) override {
    if (!problem.empty()) return problem;
    handler = std::move(h);
    return "";
  }
  void send(const InputEvent& event) { handler(event); }
};
