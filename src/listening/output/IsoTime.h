#pragma once

#include <chrono>
#include <string>

// The program's timestamp: UTC with milliseconds, for example 2026-12-08T12:34:56.789Z.
std::string isoTime(std::chrono::system_clock::time_point when);

// isoTime of the current time.
std::string isoTimeNow();
