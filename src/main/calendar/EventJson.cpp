#include "main/calendar/EventJson.h"

#include <algorithm>
#include <cctype>

#include "base/TimeText.h"

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

bool isMailto(std::string_view url) {
  return url.size() >= 7 && equalsIgnoringCase(url.substr(0, 7), "mailto:");
}

// Calendar addresses name the same person when they are equal; e-mail addresses are compared
// without regard to case, as mail systems do.
bool sameAddress(std::string_view a, std::string_view b) {
  if (isMailto(a) && isMailto(b)) return equalsIgnoringCase(a.substr(7), b.substr(7));
  return a == b;
}

bool validUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    auto lead = static_cast<unsigned char>(text[i]);
    std::size_t extra = lead < 0x80           ? 0
                        : (lead >> 5) == 0x6  ? 1
                        : (lead >> 4) == 0xE  ? 2
                        : (lead >> 3) == 0x1E ? 3
                                              : 4;
    if (extra == 4 || i + extra >= text.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) return false;
    }
    i += extra + 1;
  }
  return true;
}

const char* statusWord(Participant::Status status) {
  switch (status) {
    case Participant::Status::Accepted:
      return "accepted";
    case Participant::Status::Declined:
      return "declined";
    case Participant::Status::Tentative:
      return "tentative";
    default:
      return "pending";
  }
}

}  // namespace

std::string emailOf(std::string_view url) {
  if (!isMailto(url)) return "";
  std::string_view rest = url.substr(7);
  std::string decoded;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] != '%') {
      decoded += rest[i];
      continue;
    }
    if (i + 2 >= rest.size() || !std::isxdigit(static_cast<unsigned char>(rest[i + 1])) ||
        !std::isxdigit(static_cast<unsigned char>(rest[i + 2]))) {
      return "";
    }
    decoded += static_cast<char>(std::stoi(std::string(rest.substr(i + 1, 2)), nullptr, 16));
    i += 2;
  }
  return validUtf8(decoded) ? decoded : "";
}

nlohmann::json attendeesJSON(const CalendarEvent& event) {
  std::vector<Participant> people = event.attendees;
  if (event.organizer) {
    bool listed = std::any_of(people.begin(), people.end(), [&](const Participant& person) {
      return sameAddress(person.url, event.organizer->url);
    });
    if (!listed) people.insert(people.begin(), *event.organizer);
  }
  auto list = nlohmann::json::array();
  for (const auto& person : people) {
    list.push_back({{"name", person.name},
                    {"email", emailOf(person.url)},
                    {"status", statusWord(person.status)},
                    {"organizer", event.organizer.has_value() &&
                                      sameAddress(person.url, event.organizer->url)}});
  }
  return list;
}

bool canChange(const CalendarEvent& event) {
  return event.calendarWritable && (!event.organizer || event.organizer->isCurrentUser);
}

nlohmann::json eventJSON(const CalendarEvent& event) {
  bool declined = std::any_of(event.attendees.begin(), event.attendees.end(),
                              [](const Participant& person) {
                                return person.isCurrentUser &&
                                       person.status == Participant::Status::Declined;
                              });
  return {{"id", event.id},
          {"calendarId", event.calendarId},
          {"title", event.title},
          {"start", isoTime(event.start)},
          // Stores pass on events that end before they start; such an event takes no time.
          {"end", isoTime(std::max(event.start, event.end))},
          {"allDay", event.allDay},
          {"location", event.location},
          {"notes", event.notes},
          {"url", event.url},
          {"attendees", attendeesJSON(event)},
          {"declined", declined},
          {"editable", canChange(event)}};
}
