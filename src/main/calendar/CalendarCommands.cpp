#include "main/calendar/CalendarCommands.h"

#include <algorithm>
#include <chrono>
#include <set>

#include "main/calendar/CalendarColor.h"
#include "base/Context.h"
#include "main/calendar/EventJson.h"
#include "main/calendar/EventOccurrence.h"
#include "main/calendar/StoreAccess.h"
#include "base/ExitStatus.h"
#include "main/Reply.h"
#include "base/TimeText.h"
#include "platform/EventStore.h"
#include "platform/Platform.h"

namespace {

using nlohmann::json;
using TimePoint = std::chrono::system_clock::time_point;

constexpr std::string_view CALENDAR_DENIED =
    "Calendar access denied. Allow Vesk in System Settings \u2192 Privacy & Security \u2192 "
    "Calendars.";
// How far around an occurrence's start the store is asked for it.
constexpr std::chrono::seconds LOOKUP_MARGIN{60};

void requireAccess(Context& context) {
  if (!eventStoreOf(context).reachable()) {
    fail(context.console, CALENDAR_DENIED, EXIT_NOT_PERMITTED);
  }
}

// The single JSON object argument of the writing commands.
json objectArgument(Context& context, const std::vector<std::string>& args) {
  if (args.size() != 2) usageError(context.console);
  json value = json::parse(args[1], nullptr, false);
  if (value.is_discarded() || !value.is_object()) usageError(context.console);
  return value;
}

std::optional<std::string> stringField(const json& object, const char* key) {
  auto found = object.find(key);
  if (found == object.end() || !found->is_string()) return std::nullopt;
  return found->get<std::string>();
}

std::optional<TimePoint> dateField(const json& object, const char* key) {
  auto text = stringField(object, key);
  return text ? readIso(*text) : std::nullopt;
}

[[noreturn]] void listCalendars(Context& context) {
  requireAccess(context);
  auto& store = eventStoreOf(context);
  auto calendars = store.eventCalendars();
  auto defaultId = store.defaultEventCalendarId();
  auto list = json::array();
  for (const auto& calendar : calendars) {
    list.push_back({{"id", calendar.id},
                    {"title", calendar.title},
                    {"account", calendar.accountTitle},
                    {"color", hex(colorFromText(calendar.color))},
                    {"writable", calendar.writable},
                    {"isDefault", defaultId.has_value() && *defaultId == calendar.id}});
  }
  reply(context.console, list);
}

[[noreturn]] void listEvents(Context& context, const std::vector<std::string>& args) {
  if (args.size() < 3) usageError(context.console);
  auto from = readIso(args[1]);
  auto to = readIso(args[2]);
  if (!from || !to) usageError(context.console);
  std::set<std::string> wanted(args.begin() + 3, args.end());
  requireAccess(context);

  auto& store = eventStoreOf(context);
  std::vector<std::string> selected;
  for (const auto& calendar : store.eventCalendars()) {
    if (wanted.count(calendar.id) > 0) selected.push_back(calendar.id);
  }
  auto list = json::array();
  if (!selected.empty()) {
    for (const auto& event : store.events(*from, *to, selected)) list.push_back(eventJSON(event));
  }
  reply(context.console, list);
}

[[noreturn]] void addEvent(Context& context, const json& input) {
  auto& store = eventStoreOf(context);
  auto title = stringField(input, "title");
  auto calendarId = stringField(input, "calendarId");
  auto start = dateField(input, "start");
  auto end = dateField(input, "end");
  if (!title || title->empty() || !calendarId || !start || !end || *end <= *start) {
    usageError(context.console);
  }
  auto calendars = store.eventCalendars();
  auto calendar = std::find_if(calendars.begin(), calendars.end(),
                               [&](const StoreCalendar& each) { return each.id == *calendarId; });
  if (calendar == calendars.end()) usageError(context.console);
  if (!calendar->writable) fail(context.console, "That calendar can't be written to.", EXIT_FAILED);

  NewEvent event{*calendarId, *title, *start, *end, stringField(input, "notes").value_or(""),
                 stringField(input, "location").value_or(""), false};
  auto allDay = input.find("allDay");
  event.allDay = allDay != input.end() && allDay->is_boolean() && allDay->get<bool>();
  CalendarEvent saved;
  try {
    saved = store.addEvent(event);
  } catch (const EventStoreError& error) {
    fail(context.console, std::string("Couldn't add the event: ") + error.what(), EXIT_FAILED);
  }
  reply(context.console, eventJSON(saved));
}

// The occurrence named by "id" and "at", when the user may change it; ends the process
// otherwise.
CalendarEvent occurrence(Context& context, const json& input) {
  auto id = stringField(input, "id");
  auto at = dateField(input, "at");
  if (!id || !at) usageError(context.console);
  auto event = found(*id, *at, eventStoreOf(context).events(*at - LOOKUP_MARGIN, *at + LOOKUP_MARGIN, {}));
  if (!event) fail(context.console, "That event isn't in your calendar any more.", EXIT_FAILED);
  if (!canChange(*event)) {
    fail(context.console, "Only its organiser can change that event.", EXIT_FAILED);
  }
  return *event;
}

[[noreturn]] void updateEvent(Context& context, const json& input) {
  auto& store = eventStoreOf(context);
  CalendarEvent event = occurrence(context, input);
  if (auto title = stringField(input, "title"); title && !title->empty()) event.title = *title;
  if (auto start = dateField(input, "start")) event.start = *start;
  if (auto end = dateField(input, "end")) event.end = *end;
  if (event.end < event.start) fail(context.console, "It has to end after it starts.", EXIT_FAILED);
  if (auto location = stringField(input, "location")) event.location = *location;
  if (auto notes = stringField(input, "notes")) event.notes = *notes;

  try {
    store.saveOccurrence(event);
  } catch (const EventStoreError& error) {
    fail(context.console, std::string("Couldn't change the event: ") + error.what(), EXIT_FAILED);
  }
  auto again = found(event.id, event.start,
                     store.events(event.start - LOOKUP_MARGIN, event.start + LOOKUP_MARGIN, {}));
  reply(context.console, eventJSON(again ? *again : event));
}

[[noreturn]] void deleteEvent(Context& context, const json& input) {
  CalendarEvent event = occurrence(context, input);
  try {
    eventStoreOf(context).removeOccurrence(event);
  } catch (const EventStoreError& error) {
    fail(context.console, std::string("Couldn't delete the event: ") + error.what(), EXIT_FAILED);
  }
  reply(context.console, {{"deleted", true}});
}

}  // namespace

void runCalendarCommand(Context& context, const std::vector<std::string>& args) {
  const std::string& word = args.at(0);
  try {
    if (word == "events") listEvents(context, args);
    if (word == "calendars") listCalendars(context);

    json input = objectArgument(context, args);
    requireAccess(context);
    if (word == "event-add") addEvent(context, input);
    if (word == "event-update") updateEvent(context, input);
    if (word == "event-delete") deleteEvent(context, input);
  } catch (const EventStoreError& error) {
    fail(context.console, error.what(), EXIT_FAILED);
  }
  usageError(context.console);
}
