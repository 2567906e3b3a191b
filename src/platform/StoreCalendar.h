#pragma once

#include <string>

// One calendar of the event store: an event calendar or a reminder list.
struct StoreCalendar {
  std::string id;
  std::string title;
  std::string accountId;     // "" when it belongs to no account
  std::string accountTitle;  // "" when it belongs to no account
  std::string color;         // as the store keeps it ("#becedd"); "" when it has none
  bool writable = false;     // both the calendar and its connection take changes
};
