// The arguments of the calendar commands, run through the real handler against a store in memory.
// The first byte picks the command ('0' event-add, '1' event-update, '2' event-delete, '3' events);
// the rest is its JSON argument, or for events its lines as the arguments (two dates, then
// calendar ids).
#include "FuzzInput.h"
#include "fakes/FakePlatform.h"
#include "base/Context.h"
#include "base/TimeText.h"
#include "base/Timings.h"
#include "main/calendar/CalendarCommands.h"

namespace {

CalendarEvent occurrence(const char* id, const char* calendar, const char* start) {
  CalendarEvent event;
  event.id = id;
  event.calendarId = calendar;
  event.title = "Standup";
  event.location = "Room 1";
  event.start = readIso(start).value();
  event.end = event.start + std::chrono::minutes(30);
  event.storeKey = std::string(id) + start;
  return event;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto args = fuzzInput::commandLine(
      data, size, {"event-add", "event-update", "event-delete", "events"}, "events", 5);
  if (args.empty()) return 0;

  FakePlatform fakes;
  FakeEventStore& store = *fakes.eventStore;
  store.calendars = {StoreCalendar{"work", "Work", "local", "On This Computer", "#ff0000", true},
                     StoreCalendar{"holidays", "Holidays", "local", "On This Computer", "", false}};
  store.defaultCalendar = "work";
  store.occurrences = {occurrence("standup", "work", "2025-03-03T08:00:00.000Z"),
                       occurrence("feast", "holidays", "2025-03-03T08:00:00.000Z")};
  FakeConsole console;
  Timings timings;
  Context context{fakes.platform, console, timings};
  fuzzInput::runCommand([&] { runCalendarCommand(context, args); }, console, {0, 1, 64});
  return 0;
}
