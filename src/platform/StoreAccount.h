#pragma once

#include <string>

// One account (source) of the event store that calendars and reminder lists belong to.
struct StoreAccount {
  std::string id;
  std::string kind;  // "local", "exchange", "calDAV" or "other"
  std::string title;
};
