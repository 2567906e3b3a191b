#include "main/reminders/ReminderListOrder.h"

#include <algorithm>

namespace {

std::string stringOr(const nlohmann::json& object, const char* key) {
  auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : "";
}

}  // namespace

ListSource ListSource::fromJson(const nlohmann::json& object) {
  ListSource source;
  source.id = stringOr(object, "id");
  source.kind = stringOr(object, "kind");
  source.title = stringOr(object, "title");
  auto flag = object.find("hasReminderLists");
  source.hasReminderLists = flag != object.end() && flag->is_boolean() && flag->get<bool>();
  return source;
}

std::vector<std::string> reminderListOrder(const std::optional<std::string>& defaultId,
                                           const std::vector<ListSource>& sources) {
  std::vector<std::string> order;
  auto add = [&order](const std::string& id) {
    if (std::find(order.begin(), order.end(), id) == order.end()) order.push_back(id);
  };
  if (defaultId) add(*defaultId);
  for (const auto& source : sources) {
    if (source.kind == "calDAV" && source.title == "iCloud") {
      add(source.id);
      break;
    }
  }
  for (const auto& source : sources) {
    if (source.hasReminderLists) add(source.id);
  }
  for (const auto& source : sources) {
    if (source.kind == "local") {
      add(source.id);
      break;
    }
  }
  return order;
}

std::optional<nlohmann::json> readListOrderRequest(std::string_view text) {
  nlohmann::json request = nlohmann::json::parse(text, nullptr, false);
  if (request.is_discarded() || !request.is_object()) return std::nullopt;
  auto sources = request.find("sources");
  if (sources == request.end() || !sources->is_array()) return std::nullopt;
  for (const auto& source : *sources) {
    if (!source.is_object()) return std::nullopt;
  }
  return request;
}

std::vector<std::string> reminderListOrder(const nlohmann::json& request) {
  std::optional<std::string> defaultId;
  if (auto id = request.find("defaultId"); id != request.end() && id->is_string()) {
    defaultId = id->get<std::string>();
  }
  std::vector<ListSource> sources;
  for (const auto& source : request.at("sources")) sources.push_back(ListSource::fromJson(source));
  return reminderListOrder(defaultId, sources);
}
