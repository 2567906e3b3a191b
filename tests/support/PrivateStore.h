#pragma once

#include <sys/types.h>

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <vector>

#include "support/Run.h"
#include "support/Scratch.h"

// A calendar store of its own for one test: a private session bus whose services (the calendar
// server starts on demand there) live in a throw-away HOME, in a fixed time zone. Everything it
// started ends with it.
class PrivateStore {
 public:
  explicit PrivateStore(std::string timeZone = "Europe/Berlin");
  ~PrivateStore();
  PrivateStore(const PrivateStore&) = delete;
  PrivateStore& operator=(const PrivateStore&) = delete;

  // The built bridge with this store's bus, HOME and time zone.
  RunResult vesk(const std::vector<std::string>& args) const;
  // The JSON reply of a command of it that had to succeed (see replyOf); discarded when not JSON.
  nlohmann::json reply(const std::vector<std::string>& args) const;
  // The seeding helper (tests/seed/StoreSeed.cpp); fails the test when it fails.
  std::string seed(const std::vector<std::string>& args) const;
  RunOptions options() const;
  // The process holding a bus name that begins with the prefix; 0 when none does.
  pid_t serviceProcess(std::string_view namePrefix) const;

  const Scratch& scratch() const { return scratch_; }

 private:
  Scratch scratch_;
  std::string timeZone_;
  std::string address_;
  pid_t bus_ = -1;
};
