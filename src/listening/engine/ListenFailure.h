#pragma once

#include <stdexcept>
#include <string>

// The capture engine's general failure, carrying one sentence for the user.
class ListenFailure : public std::runtime_error {
 public:
  explicit ListenFailure(const std::string& description) : std::runtime_error(description) {}
};
