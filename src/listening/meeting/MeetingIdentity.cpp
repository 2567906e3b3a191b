#include "listening/meeting/MeetingIdentity.h"

#include <nlohmann/json.hpp>
#include <regex>

std::optional<MeetingIdentity> meetingIdentity(const std::string& line) {
  static const std::regex ID_FORM(R"(^[0-9]{4}-[0-9]{2}-[0-9]{2}-[0-9]{6}$)");
  const nlohmann::json first = nlohmann::json::parse(line, nullptr, false);
  if (!first.is_object()) return std::nullopt;
  const auto id = first.find("id");
  if (id == first.end() || !id->is_string()) return std::nullopt;
  MeetingIdentity identity{id->get<std::string>(), std::nullopt};
  if (!std::regex_match(identity.id, ID_FORM)) return std::nullopt;
  if (const auto paused = first.find("pausedFrom"); paused != first.end()) {
    if (!paused->is_string()) return std::nullopt;
    identity.pausedFrom = paused->get<std::string>();
  }
  return identity;
}
