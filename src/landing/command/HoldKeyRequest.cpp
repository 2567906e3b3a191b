#include "landing/command/HoldKeyRequest.h"

#include <nlohmann/json.hpp>

namespace HoldKeyRequest {

bool isStop(const std::string& line) {
  const auto first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return false;
  const auto last = line.find_last_not_of(" \t");
  return line.compare(first, last - first + 1, "stop") == 0;
}

Request parse(const std::string& line) {
  const auto json = nlohmann::json::parse(line, nullptr, false);
  if (!json.is_object()) return Nothing{};
  if (auto land = json.find("land"); land != json.end() && land->is_string()) {
    std::optional<long> app;
    auto pid = json.find("app");
    if (pid != json.end() && pid->is_number_integer()) app = pid->get<long>();
    return Land{land->get<std::string>(), app};
  }
  if (auto copy = json.find("copy"); copy != json.end() && copy->is_string()) {
    return Copy{copy->get<std::string>()};
  }
  if (json.contains("front")) return Front{};
  return Nothing{};
}

}  // namespace HoldKeyRequest
