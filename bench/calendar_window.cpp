// Cost of reading a window of events from the desktop's calendar store (the store the bench
// services start on their session bus): 300 events over 30 days in the default calendar, read
// a week and a month at a time, as the events command does.
#include <chrono>
#include <cstdio>

#include "platform/linux/ecal/EdsEventStore.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::system_clock;

double millisSince(Clock::time_point start, int count = 1) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / count;
}

}  // namespace

int main() {
  EdsEventStore store;
  if (!store.reachable()) {
    std::fprintf(stderr, "the calendar store is not reachable on this session bus\n");
    return 1;
  }
  auto calendar = store.defaultEventCalendarId();
  if (!calendar) return 1;

  constexpr int EVENTS = 300;
  auto base = std::chrono::floor<std::chrono::days>(system_clock::now()) + std::chrono::days(400);
  auto started = Clock::now();
  for (int i = 0; i < EVENTS; ++i) {
    auto start = base + std::chrono::hours(24 * (i % 30) + 8 + i % 9);
    store.addEvent(NewEvent{*calendar, "Bench " + std::to_string(i), start,
                            start + std::chrono::minutes(45), "", "", false});
  }
  std::printf("add one event: %.2f ms\n", millisSince(started, EVENTS));

  constexpr int ROUNDS = 5;
  std::size_t seen = 0;
  started = Clock::now();
  for (int i = 0; i < ROUNDS; ++i) seen = store.events(base, base + std::chrono::days(7), {}).size();
  std::printf("read a week (%zu events): %.2f ms\n", seen, millisSince(started, ROUNDS));
  started = Clock::now();
  for (int i = 0; i < ROUNDS; ++i) seen = store.events(base, base + std::chrono::days(30), {}).size();
  std::printf("read a month (%zu events): %.2f ms\n", seen, millisSince(started, ROUNDS));
  started = Clock::now();
  for (int i = 0; i < ROUNDS; ++i) {
    EdsEventStore fresh;  // as a new process meets the store: registry and calendars to open
    seen = fresh.eventCalendars().size();
  }
  std::printf("list %zu calendars from a new connection: %.2f ms\n", seen, millisSince(started, ROUNDS));
  return 0;
}
