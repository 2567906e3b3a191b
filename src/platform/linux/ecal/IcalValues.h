#pragma once

#include <libecal/libecal.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/linux/ecal/GlibHandles.h"

// Reading and writing the values of iCalendar properties: dates, times, durations.
namespace icalValues {

using TimePoint = std::chrono::system_clock::time_point;

// A date or date-time as a property writes it.
struct Stamp {
  int year = 0;
  int month = 0;
  int day = 0;
  bool dateOnly = false;
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool utc = false;
  std::string tzid;  // "" for UTC and floating times
};

// Where the zones that properties name are found: the calendar's own (its cache, then the store,
// asked within `limit`), then the built-in ones. Without a client, the built-in ones only.
struct ZoneSource {
  ECalClient* client = nullptr;
  std::chrono::milliseconds limit{0};
};

// "20250301", "20250301T090000", "20250301T090000Z".
std::optional<Stamp> parseStamp(std::string_view value);
// The property's value with its TZID parameter.
std::optional<Stamp> stampOf(ICalProperty* property);
// The moment a stamp names; dates and floating times are local time.
std::optional<TimePoint> momentOf(const Stamp& stamp, const ZoneSource& zones);
// The moment written in the same form as `form` (date, UTC, zone or floating).
Stamp stampIn(TimePoint when, const Stamp& form, const ZoneSource& zones);
// The date and time fields of a libical time (its zone left out).
Stamp stampOfTime(ICalTime* time);
// The value text of a stamp, without parameters.
std::string valueText(const Stamp& stamp);
// A whole property line: NAME[;VALUE=DATE][;TZID=...]:value
std::string propertyLine(const char* name, const Stamp& stamp);

// Durations as "-P1DT2H", "PT15M", "P1W", in seconds.
std::optional<std::chrono::seconds> parseDuration(std::string_view text);
std::string durationText(std::chrono::seconds duration);

// The parameter's value, "" when absent.
std::string parameter(ICalProperty* property, const char* name);
GObjectPtr<ICalProperty> firstProperty(ICalComponent* component, ICalPropertyKind kind);
void removeAll(ICalComponent* component, ICalPropertyKind kind);
// Adds a property parsed from a whole line; false when the line does not parse.
bool addLine(ICalComponent* component, const std::string& line);

}  // namespace icalValues
