#pragma once

#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

// The event lines a session wrote, in order, without its level lines.
inline std::vector<nlohmann::json> eventsBesidesLevels(const std::string& written) {
  std::vector<nlohmann::json> found;
  std::istringstream text(written);
  for (std::string line; std::getline(text, line);) {
    nlohmann::json event = nlohmann::json::parse(line);
    if (event["kind"] != "level") found.push_back(event);
  }
  return found;
}
