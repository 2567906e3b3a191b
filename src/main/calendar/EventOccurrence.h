#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CalendarEvent.h"

// The part of an event identifier before its first "/RID=" (all of it when there is none):
// what every occurrence of one event shares.
std::string_view baseIdentifier(std::string_view id);

// The first event of the query whose identifier shares id's base and which starts exactly at
// `at`.
std::optional<CalendarEvent> found(std::string_view id, std::chrono::system_clock::time_point at,
                                   const std::vector<CalendarEvent>& query);
