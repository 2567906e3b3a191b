#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/AppBus.h"

// Owned names as the test arranges them. An activatable name gets its owner after
// `checksUntilOwned` further questions, like an application that takes a while to start.
class FakeAppBus final : public AppBus {
 public:
  std::set<std::string> owned;
  std::set<std::string> activatable;
  int checksUntilOwned = 0;
  std::optional<int> failWith;
  int questions = 0;
  std::vector<std::string> activations;

  bool hasOwner(const std::string& name) override {
    ++questions;
    if (failWith) throw AppBusError(*failWith, "no bus");
    if (!pending_.empty() && pending_ == name && checksUntilOwned-- <= 0) owned.insert(name);
    return owned.count(name) > 0;
  }
  bool activate(const std::string& name, std::chrono::milliseconds) override {
    activations.push_back(name);
    if (activatable.count(name) == 0) return false;
    pending_ = name;
    return true;
  }

 private:
  std::string pending_;
};
