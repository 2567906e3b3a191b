#include "main/calendar/EventOccurrence.h"

std::string_view baseIdentifier(std::string_view id) {
  auto marker = id.find("/RID=");
  return marker == std::string_view::npos ? id : id.substr(0, marker);
}

std::optional<CalendarEvent> found(std::string_view id, std::chrono::system_clock::time_point at,
                                   const std::vector<CalendarEvent>& query) {
  std::string_view wanted = baseIdentifier(id);
  for (const auto& event : query) {
    if (baseIdentifier(event.id) == wanted && event.start == at) return event;
  }
  return std::nullopt;
}
