#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Reminder.h"

// Days and times of the user's calendar in the system's current time zone.
namespace localCalendar {

using TimePoint = std::chrono::system_clock::time_point;

// Reads "yyyy-MM-dd" (as in 2025-03-01; single-digit month and day are taken too) into a day
// without time; a day that does not exist, or that the clock cannot hold, reads as nothing.
std::optional<DueDate> readDay(std::string_view text);

// The moment the components name: the start of the day, or its hour and minute; nothing when
// the clock cannot hold it.
std::optional<TimePoint> moment(const DueDate& due);

// The year, month and day of a moment (no time).
DueDate dayOf(TimePoint when);

// "yyyy-MM-dd" and "yyyy-MM-dd HH:mm" of a moment.
std::string dayText(TimePoint when);
std::string alertText(TimePoint when);

}  // namespace localCalendar
