#include "base/TimeText.h"

#include <cctype>
#include <cstdio>

namespace {

using namespace std::chrono;

// "2025-03-01T09:00:00" of a whole second.
std::string dateAndTime(sys_seconds when) {
  auto dayStart = floor<days>(when);
  year_month_day date{dayStart};
  hh_mm_ss time{when - dayStart};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

// Reads exactly `width` digits at `at`; advances `at`.
std::optional<int> digits(std::string_view text, std::size_t& at, std::size_t width) {
  if (at + width > text.size()) return std::nullopt;
  int value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    char c = text[at + i];
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  at += width;
  return value;
}

bool expect(std::string_view text, std::size_t& at, char c) {
  if (at >= text.size() || text[at] != c) return false;
  ++at;
  return true;
}

}  // namespace

std::string isoTime(system_clock::time_point when) {
  auto millis = floor<milliseconds>(when);
  auto wholeSeconds = floor<seconds>(millis);
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%03dZ",
                static_cast<int>((millis - wholeSeconds).count()));
  return dateAndTime(wholeSeconds) + fraction;
}

std::string isoTimeNow() { return isoTime(system_clock::now()); }

std::string isoSeconds(system_clock::time_point when) {
  return dateAndTime(floor<seconds>(when)) + "Z";
}

std::optional<system_clock::time_point> clockMoment(sys_seconds when) {
  // Whole years well inside the clock, so that a margin taken around a moment read (a look-up
  // window, a fraction of a second) stays inside it too.
  constexpr sys_seconds EARLIEST = sys_days(year(1678) / January / 1);
  constexpr sys_seconds END = sys_days(year(2262) / January / 1);
  if (when < EARLIEST || when >= END) return std::nullopt;
  return time_point_cast<system_clock::duration>(when);
}

std::optional<system_clock::time_point> readIso(std::string_view text) {
  std::size_t at = 0;
  auto year = digits(text, at, 4);
  if (!year || !expect(text, at, '-')) return std::nullopt;
  auto month = digits(text, at, 2);
  if (!month || !expect(text, at, '-')) return std::nullopt;
  auto day = digits(text, at, 2);
  if (!day || !expect(text, at, 'T')) return std::nullopt;
  auto hour = digits(text, at, 2);
  if (!hour || !expect(text, at, ':')) return std::nullopt;
  auto minute = digits(text, at, 2);
  if (!minute || !expect(text, at, ':')) return std::nullopt;
  auto second = digits(text, at, 2);
  if (!second || !expect(text, at, '.')) return std::nullopt;

  nanoseconds fraction{0};
  long long scale = 100'000'000;
  std::size_t fractionStart = at;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
    fraction += nanoseconds((text[at] - '0') * scale);
    scale /= 10;
    ++at;
  }
  if (at == fractionStart) return std::nullopt;

  minutes offset{0};
  if (expect(text, at, 'Z')) {
  } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    int sign = text[at] == '-' ? -1 : 1;
    ++at;
    auto offsetHours = digits(text, at, 2);
    if (!offsetHours || !expect(text, at, ':')) return std::nullopt;
    auto offsetMinutes = digits(text, at, 2);
    if (!offsetMinutes || *offsetHours > 23 || *offsetMinutes > 59) return std::nullopt;
    offset = minutes(sign * (*offsetHours * 60 + *offsetMinutes));
  } else {
    return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;

  year_month_day date{std::chrono::year(*year), std::chrono::month(static_cast<unsigned>(*month)),
                      std::chrono::day(static_cast<unsigned>(*day))};
  if (!date.ok() || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
  auto local = sys_days(date) + hours(*hour) + minutes(*minute) + seconds(*second);
  auto moment = clockMoment(local - offset);
  if (!moment) return std::nullopt;
  return *moment + fraction;
}
