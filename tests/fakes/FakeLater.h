#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "landing/Later.h"

// Delayed work the test fires itself: nothing runs until fire() or fireAll().
class FakeLater final : public Later {
 public:
  struct Pending {
    std::chrono::duration<double> delay;
    std::function<void()> work;
    std::shared_ptr<bool> cancelled;
  };
  std::vector<Pending> pending;

  Cancel after(std::chrono::duration<double> delay, std::function<void()> work) override {
    auto cancelled = std::make_shared<bool>(false);
    pending.push_back({delay, std::move(work), cancelled});
    return [cancelled] { *cancelled = true; };
  }

  // How many have neither run nor been cancelled.
  int live() const {
    int count = 0;
    for (const auto& item : pending) count += *item.cancelled ? 0 : 1;
    return count;
  }
  // Runs every live work that was delayed by exactly `delay` (or any, when not given), once.
  void fire(std::optional<std::chrono::duration<double>> delay = std::nullopt) {
    auto due = std::move(pending);
    pending.clear();
    for (auto& item : due) {
      if (*item.cancelled) continue;
      if (delay && item.delay != *delay) {
        pending.push_back(std::move(item));
        continue;
      }
      *item.cancelled = true;
      item.work();
    }
  }
};
