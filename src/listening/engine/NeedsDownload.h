#pragma once

#include <stdexcept>
#include <string>

// The speech model is missing and can't be fetched; the listen commands give it its own exit
// status. Carries one sentence for the user.
class NeedsDownload : public std::runtime_error {
 public:
  explicit NeedsDownload(const std::string& description) : std::runtime_error(description) {}
};
