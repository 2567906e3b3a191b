#include "main/reminders/ReminderCommands.h"

#include <chrono>

#include "base/Context.h"
#include "base/ExitStatus.h"
#include "main/calendar/LocalCalendar.h"
#include "main/calendar/StoreAccess.h"
#include "main/reminders/ReminderEditor.h"
#include "main/reminders/ReminderJson.h"
#include "main/Reply.h"
#include "main/reminders/VeskList.h"
#include "base/TimeText.h"
#include "platform/EventStore.h"
#include "platform/Platform.h"

namespace {

using nlohmann::json;

constexpr std::string_view REMINDERS_DENIED =
    "Reminders access denied. Allow Vesk in System Settings \u2192 Privacy & Security \u2192 "
    "Reminders.";

// The JSON object argument; ends with the usage failure for anything else.
json fields(Context& context, const std::string& text) {
  json value = json::parse(text, nullptr, false);
  if (value.is_discarded() || !value.is_object()) usageError(context.console);
  return value;
}

// The reminder with that identifier in the app's list; ends with status 4 when there is none.
Reminder inVesk(Context& context, const StoreCalendar& list, const std::string& id) {
  auto reminder = eventStoreOf(context).reminder(list.id, id);
  if (!reminder) fail(context.console, "No such reminder in Vesk", EXIT_NOT_IN_LIST);
  return *reminder;
}

Reminder save(Context& context, const Reminder& reminder) {
  try {
    return eventStoreOf(context).saveReminder(reminder);
  } catch (const EventStoreError& error) {
    fail(context.console, std::string("Reminders: ") + error.what(), EXIT_FAILED);
  }
}

[[noreturn]] void openReminders(Context& context, const StoreCalendar& list) {
  auto replyList = json::array();
  for (const auto& reminder : eventStoreOf(context).reminders(list.id)) {
    if (!reminder.completed) replyList.push_back(reminderJSON(reminder));
  }
  reply(context.console, replyList);
}

[[noreturn]] void doneReminders(Context& context, const StoreCalendar& list,
                                const std::string& dayText) {
  auto day = localCalendar::readDay(dayText);
  auto since = day ? localCalendar::moment(*day) : std::nullopt;
  if (!since) usageError(context.console);
  auto replyList = json::array();
  for (const auto& reminder : eventStoreOf(context).reminders(list.id)) {
    if (!reminder.completed || !reminder.completionDate || *reminder.completionDate < *since) {
      continue;
    }
    json object = reminderJSON(reminder);
    object["doneAt"] = isoSeconds(*reminder.completionDate);
    replyList.push_back(object);
  }
  reply(context.console, replyList);
}

[[noreturn]] void addReminder(Context& context, const StoreCalendar& list,
                              const std::string& text) {
  Reminder reminder;
  reminder.listId = list.id;
  applyReminderFields(fields(context, text), reminder, std::chrono::system_clock::now());
  reply(context.console, reminderJSON(save(context, reminder)));
}

[[noreturn]] void updateReminder(Context& context, const StoreCalendar& list,
                                 const std::string& id, const std::string& text) {
  Reminder reminder = inVesk(context, list, id);
  applyReminderFields(fields(context, text), reminder, std::chrono::system_clock::now());
  save(context, reminder);
  reply(context.console, json::object());
}

[[noreturn]] void deleteReminder(Context& context, const StoreCalendar& list,
                                 const std::string& id) {
  Reminder reminder = inVesk(context, list, id);
  try {
    eventStoreOf(context).removeReminder(reminder);
  } catch (const EventStoreError& error) {
    fail(context.console, std::string("Reminders: ") + error.what(), EXIT_FAILED);
  }
  reply(context.console, json::object());
}

}  // namespace

void runReminders(Context& context, const std::vector<std::string>& args) {
  auto& store = eventStoreOf(context);
  const std::string& word = args.at(0);
  if (word == "reminders-access" && args.size() == 1) {
    reply(context.console, {{"access", store.reachable()}});
  }
  if (!store.reachable()) fail(context.console, REMINDERS_DENIED, EXIT_NOT_PERMITTED);

  try {
    StoreCalendar list = veskList(store, context.console);
    auto count = args.size();
    if (word == "reminders" && count == 1) openReminders(context, list);
    if (word == "reminders-done" && count == 2) doneReminders(context, list, args[1]);
    if (word == "reminder-add" && count == 2) addReminder(context, list, args[1]);
    if (word == "reminder-update" && count == 3) updateReminder(context, list, args[1], args[2]);
    if (word == "reminder-delete" && count == 2) deleteReminder(context, list, args[1]);
  } catch (const EventStoreError& error) {
    fail(context.console, std::string("Reminders: ") + error.what(), EXIT_FAILED);
  }
  usageError(context.console);
}
