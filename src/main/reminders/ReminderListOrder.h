#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

// One account of the event store as the reminder list's placement sees it.
struct ListSource {
  std::string id;
  std::string kind;  // "local", "exchange", "calDAV" or "other"
  std::string title;
  bool hasReminderLists = false;

  // From a JSON object: strings taken when they are strings ("" otherwise), the flag when it is
  // a boolean (false otherwise).
  static ListSource fromJson(const nlohmann::json& object);
};

// The accounts to try for the app's reminder list, best first, each at most once: the default
// account, the first calDAV account titled "iCloud", every account that already holds reminder
// lists, then the first local account.
std::vector<std::string> reminderListOrder(const std::optional<std::string>& defaultId,
                                           const std::vector<ListSource>& sources);
