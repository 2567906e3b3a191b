#pragma once

#include <string>

#include "platform/InputMonitor.h"

// An input monitor the test drives: send() delivers an event as the real one would.
class FakeInputMonitor final : public InputMonitor {
 public:
  std::string problem;  // when set, start() refuses with it
  bool keyboard = true;  // a keyboard can be watched
  Handler handler;

  bool available() override { return keyboard; }

  std::string start(Handler h) override {
    if (!problem.empty()) return problem;
    handler = std::move(h);
    return "";
  }
  void send(const InputEvent& event) { handler(event); }
};
