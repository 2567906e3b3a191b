#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
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

// The argument of reminder-list-order read: a JSON object whose "sources" is an array of objects
// (and an optional string "defaultId"); nothing for anything else.
std::optional<nlohmann::json> readListOrderRequest(std::string_view text);

// The order for a request readListOrderRequest accepted.
std::vector<std::string> reminderListOrder(const nlohmann::json& request);
