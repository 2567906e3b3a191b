#include "main/calendar/LocalCalendar.h"

#include <cctype>
#include <cstdio>
#include <ctime>

#include "base/TimeText.h"

namespace localCalendar {

namespace {

std::tm localParts(TimePoint when) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(
      std::chrono::floor<std::chrono::seconds>(when));
  std::tm parts{};
  localtime_r(&seconds, &parts);
  return parts;
}

std::optional<int> number(std::string_view text, std::size_t minWidth, std::size_t maxWidth) {
  if (text.size() < minWidth || text.size() > maxWidth) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::optional<DueDate> readDay(std::string_view text) {
  auto first = text.find('-');
  if (first == std::string_view::npos) return std::nullopt;
  auto second = text.find('-', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  auto year = number(text.substr(0, first), 4, 4);
  auto month = number(text.substr(first + 1, second - first - 1), 1, 2);
  auto day = number(text.substr(second + 1), 1, 2);
  if (!year || !month || !day) return std::nullopt;
  std::chrono::year_month_day date{std::chrono::year(*year),
                                   std::chrono::month(static_cast<unsigned>(*month)),
                                   std::chrono::day(static_cast<unsigned>(*day))};
  if (!date.ok()) return std::nullopt;
  DueDate due{*year, *month, *day, std::nullopt, std::nullopt};
  if (!moment(due)) return std::nullopt;
  return due;
}

std::optional<TimePoint> moment(const DueDate& due) {
  std::tm parts{};
  parts.tm_year = due.year - 1900;
  parts.tm_mon = due.month - 1;
  parts.tm_mday = due.day;
  parts.tm_hour = due.hour.value_or(0);
  parts.tm_min = due.hour ? due.minute.value_or(0) : 0;
  parts.tm_isdst = -1;
  std::time_t seconds = std::mktime(&parts);
  if (seconds == static_cast<std::time_t>(-1) && parts.tm_year != 69) return std::nullopt;
  return clockMoment(std::chrono::sys_seconds(std::chrono::seconds(seconds)));
}

DueDate dayOf(TimePoint when) {
  std::tm parts = localParts(when);
  return DueDate{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, std::nullopt, std::nullopt};
}

std::string dayText(TimePoint when) {
  std::tm parts = localParts(when);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                parts.tm_mday);
  return text;
}

std::string alertText(TimePoint when) {
  std::tm parts = localParts(when);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min);
  return text;
}

}  // namespace localCalendar
