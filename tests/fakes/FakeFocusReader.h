#pragma once

#include <chrono>
#include <vector>

#include "platform/FocusReader.h"

class FakeFocusReader final : public FocusReader {
 public:
  Focus focus = Focus::element("text");
  std::vector<long> askedPids;
  std::chrono::milliseconds lastLimit{0};

  Focus focusIn(long pid, std::chrono::milliseconds callLimit) override {
    askedPids.push_back(pid);
    lastLimit = callLimit;
    return focus;
  }
};
