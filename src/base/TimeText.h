#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// The program's written times, all UTC and ISO 8601.

// UTC with milliseconds, as in 2026-12-08T12:34:56.789Z: event lines, run logs, event times.
// Parts below a millisecond are cut, never rounded.
std::string isoTime(std::chrono::system_clock::time_point when);

// isoTime of the current time.
std::string isoTimeNow();

// UTC without fractional seconds, as in 2025-03-01T09:00:00Z.
std::string isoSeconds(std::chrono::system_clock::time_point when);

// The moment of a whole second, when the program's clock can hold it with room to spare: the
// clock counts nanoseconds in 64 bits, from late 1677 to early 2262, and moments are taken from
// the years 1678 to 2261. Nothing for a second outside them.
std::optional<std::chrono::system_clock::time_point> clockMoment(std::chrono::sys_seconds when);

// Reads an internet date-time with fractional seconds, as in 2025-03-01T09:00:00.000Z or
// 2025-03-01T10:00:00.000+01:00. Anything else (no fractional seconds, no zone, a date that
// does not exist, a moment the clock cannot hold) reads as nothing.
std::optional<std::chrono::system_clock::time_point> readIso(std::string_view text);
