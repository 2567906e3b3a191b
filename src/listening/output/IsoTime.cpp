#include "listening/output/IsoTime.h"

#include <ctime>
#include <cstdio>

std::string isoTime(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  auto millis = floor<milliseconds>(when);
  auto seconds = floor<std::chrono::seconds>(millis);
  auto fraction = (millis - seconds).count();
  std::time_t t = system_clock::to_time_t(seconds);
  std::tm parts{};
  gmtime_r(&t, &parts);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
  char out[48];
  std::snprintf(out, sizeof out, "%s.%03dZ", text, static_cast<int>(fraction));
  return out;
}

std::string isoTimeNow() { return isoTime(std::chrono::system_clock::now()); }
