// The arguments of the reminder commands, run through the real handler against a store in memory.
// The first byte picks the command ('0' reminder-add, '1' reminder-update with the first line as
// the id and the rest as its JSON, '2' reminders-done); the rest is its argument.
#include "FuzzInput.h"
#include "fakes/FakePlatform.h"
#include "base/Context.h"
#include "base/Timings.h"
#include "main/reminders/ReminderCommands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto args = fuzzInput::commandLine(
      data, size, {"reminder-add", "reminder-update", "reminders-done"}, "reminder-update", 2);
  if (args.empty()) return 0;

  FakePlatform fakes;
  FakeEventStore& store = *fakes.eventStore;
  store.accountList = {{"local", "local", "On This Computer"}};
  store.lists = {StoreCalendar{"vesk", "Vesk", "local", "On This Computer", "", true}};
  Reminder weekly;
  weekly.id = "r1";
  weekly.listId = "vesk";
  weekly.title = "Water the plants";
  weekly.due = DueDate{2025, 3, 1, 9, 30};
  weekly.rules = {RecurrenceRule{}};
  weekly.alarms = {ReminderAlarm{}};
  weekly.completed = true;
  weekly.completionDate = std::chrono::system_clock::time_point{std::chrono::hours(482'000)};
  store.items = {weekly};
  FakeConsole console;
  Timings timings;
  Context context{fakes.platform, console, timings};
  fuzzInput::runCommand([&] { runReminders(context, args); }, console, {0, 1, 4, 64});
  return 0;
}
