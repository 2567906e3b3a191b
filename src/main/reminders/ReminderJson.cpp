#include "main/reminders/ReminderJson.h"

#include <cstdio>

#include "main/calendar/LocalCalendar.h"

std::string repeatName(const RecurrenceRule& rule) {
  if (rule.interval != 1 || rule.hasEnd || rule.hasPatterns) return "custom";
  switch (rule.frequency) {
    case RecurrenceRule::Frequency::Daily:
      return "daily";
    case RecurrenceRule::Frequency::Weekly:
      return "weekly";
    case RecurrenceRule::Frequency::Monthly:
      return "monthly";
    case RecurrenceRule::Frequency::Yearly:
      return "yearly";
    default:
      return "custom";
  }
}

std::optional<std::string> priorityWord(int priority) {
  if (priority >= 1 && priority <= 4) return "high";
  if (priority == 5) return "medium";
  if (priority >= 6 && priority <= 9) return "low";
  return std::nullopt;
}

std::optional<Reminder::TimePoint> firstAlarmMoment(const Reminder& reminder) {
  if (reminder.alarms.empty()) return std::nullopt;
  const auto& alarm = reminder.alarms.front();
  if (alarm.absolute) return alarm.absolute;
  if (!reminder.due) return std::nullopt;
  auto due = localCalendar::moment(*reminder.due);
  if (!due) return std::nullopt;
  return *due + alarm.offset;
}

nlohmann::json reminderJSON(const Reminder& reminder) {
  nlohmann::json object = {
      {"id", reminder.id}, {"title", reminder.title}, {"alert", !reminder.alarms.empty()}};
  if (!reminder.notes.empty()) object["notes"] = reminder.notes;
  if (reminder.url) object["link"] = *reminder.url;
  if (reminder.due) {
    if (auto due = localCalendar::moment(*reminder.due)) {
      object["due"] = localCalendar::dayText(*due);
      if (reminder.due->hour) {
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d", *reminder.due->hour,
                      reminder.due->minute.value_or(0));
        object["time"] = time;
      }
    }
  }
  if (auto word = priorityWord(reminder.priority)) object["priority"] = *word;
  if (!reminder.rules.empty()) object["repeat"] = repeatName(reminder.rules.front());
  if (auto alarm = firstAlarmMoment(reminder)) object["alertAt"] = localCalendar::alertText(*alarm);
  return object;
}
