#include "platform/linux/ecal/TaskComponents.h"

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/linux/ecal/IcalValues.h"

namespace taskComponents {

namespace {

using icalValues::Stamp;

std::string text(const gchar* value) { return value ? std::string(value) : std::string(); }

std::string valueOf(ICalProperty* property) {
  GCharPtr value(i_cal_property_get_value_as_string(property));
  return value ? std::string(value.get()) : std::string();
}

std::string upper(std::string value) {
  for (auto& c : value) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return value;
}

RecurrenceRule ruleOf(const std::string& value) {
  RecurrenceRule rule;
  rule.storeKey = value;
  rule.frequency = RecurrenceRule::Frequency::Other;
  std::size_t start = 0;
  while (start < value.size()) {
    auto end = value.find(';', start);
    std::string part = value.substr(start, end == std::string::npos ? std::string::npos : end - start);
    auto equals = part.find('=');
    std::string key = upper(part.substr(0, equals));
    std::string argument = equals == std::string::npos ? "" : part.substr(equals + 1);
    if (key == "FREQ") {
      std::string word = upper(argument);
      if (word == "DAILY") rule.frequency = RecurrenceRule::Frequency::Daily;
      if (word == "WEEKLY") rule.frequency = RecurrenceRule::Frequency::Weekly;
      if (word == "MONTHLY") rule.frequency = RecurrenceRule::Frequency::Monthly;
      if (word == "YEARLY") rule.frequency = RecurrenceRule::Frequency::Yearly;
    } else if (key == "INTERVAL") {
      rule.interval = std::atoi(argument.c_str());
    } else if (key == "COUNT" || key == "UNTIL") {
      rule.hasEnd = true;
    } else if ((key == "BYDAY" || key == "BYMONTHDAY" || key == "BYMONTH" || key == "BYWEEKNO" ||
                key == "BYYEARDAY" || key == "BYSETPOS") &&
               !argument.empty()) {
      rule.hasPatterns = true;
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return rule;
}

const char* frequencyWord(RecurrenceRule::Frequency frequency) {
  switch (frequency) {
    case RecurrenceRule::Frequency::Daily:
      return "DAILY";
    case RecurrenceRule::Frequency::Weekly:
      return "WEEKLY";
    case RecurrenceRule::Frequency::Monthly:
      return "MONTHLY";
    case RecurrenceRule::Frequency::Yearly:
      return "YEARLY";
    default:
      return nullptr;
  }
}

ReminderAlarm alarmOf(ICalComponent* valarm, const icalValues::ZoneSource& zones) {
  ReminderAlarm alarm;
  GCharPtr raw(i_cal_component_as_ical_string(valarm));
  alarm.storeKey = raw ? raw.get() : "";
  if (auto trigger = icalValues::firstProperty(valarm, I_CAL_TRIGGER_PROPERTY)) {
    std::string value = valueOf(trigger.get());
    if (auto stamp = icalValues::parseStamp(value)) {
      alarm.absolute = icalValues::momentOf(*stamp, zones);
    } else if (auto offset = icalValues::parseDuration(value)) {
      alarm.offset = *offset;
    }
  }
  return alarm;
}

DueDate dueOf(const Stamp& stamp, const icalValues::ZoneSource& zones) {
  if (stamp.dateOnly) return DueDate{stamp.year, stamp.month, stamp.day, std::nullopt, std::nullopt};
  if (!stamp.utc && stamp.tzid.empty()) {
    return DueDate{stamp.year, stamp.month, stamp.day, stamp.hour, stamp.minute};
  }
  auto when = icalValues::momentOf(stamp, zones);
  std::time_t seconds = std::chrono::system_clock::to_time_t(
      std::chrono::floor<std::chrono::seconds>(when.value_or(std::chrono::system_clock::time_point{})));
  std::tm parts{};
  localtime_r(&seconds, &parts);
  return DueDate{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min};
}

std::string dueLine(const DueDate& due) {
  Stamp stamp;
  stamp.year = due.year;
  stamp.month = due.month;
  stamp.day = due.day;
  stamp.dateOnly = !due.hour.has_value();
  stamp.hour = due.hour.value_or(0);
  stamp.minute = due.minute.value_or(0);
  return icalValues::propertyLine("DUE", stamp);
}

void removeAlarms(ICalComponent* component) {
  std::vector<GObjectPtr<ICalComponent>> alarms;
  for (GObjectPtr<ICalComponent> alarm(
           i_cal_component_get_first_component(component, I_CAL_VALARM_COMPONENT));
       alarm; alarm.reset(i_cal_component_get_next_component(component, I_CAL_VALARM_COMPONENT))) {
    alarms.push_back(std::move(alarm));
  }
  for (auto& alarm : alarms) i_cal_component_remove_component(component, alarm.get());
}

void addAlarm(ICalComponent* component, const ReminderAlarm& alarm, const std::string& title) {
  if (!alarm.storeKey.empty()) {
    if (ICalComponent* kept = i_cal_component_new_from_string(alarm.storeKey.c_str())) {
      i_cal_component_take_component(component, kept);
      return;
    }
  }
  GObjectPtr<ICalComponent> valarm(i_cal_component_new_valarm());
  icalValues::addLine(valarm.get(), "ACTION:DISPLAY");
  i_cal_component_set_description(valarm.get(), title.empty() ? "Reminder" : title.c_str());
  if (alarm.absolute) {
    Stamp utc;
    utc.utc = true;
    icalValues::addLine(valarm.get(),
                        "TRIGGER;VALUE=DATE-TIME:" +
                            icalValues::valueText(icalValues::stampIn(*alarm.absolute, utc, {})));
  } else {
    // Offsets count from the due moment, which is the end of a to-do.
    icalValues::addLine(valarm.get(),
                        "TRIGGER;RELATED=END:" + icalValues::durationText(alarm.offset));
  }
  i_cal_component_take_component(component, valarm.release());
}

struct NextOccurrence {
  int seen = 0;
  std::optional<Stamp> next;
};

gboolean takeSecond(ICalComponent*, ICalTime* start, ICalTime*, gpointer data, GCancellable*,
                    GError**) {
  auto* search = static_cast<NextOccurrence*>(data);
  if (++search->seen < 2) return TRUE;
  search->next = icalValues::stampOfTime(start);
  return FALSE;
}

}  // namespace

std::optional<DueDate> nextDue(const Reminder& reminder, ICalTimezone* zone) {
  if (!reminder.due || reminder.rules.empty()) return std::nullopt;
  const DueDate& due = *reminder.due;
  // The occurrences of a to-do follow its due date: expand the rules from there.
  GObjectPtr<ICalComponent> series(i_cal_component_new_vevent());
  std::string line = dueLine(due);
  icalValues::addLine(series.get(), "DTSTART" + line.substr(3));
  for (const auto& rule : reminder.rules) {
    if (!rule.storeKey.empty()) {
      icalValues::addLine(series.get(), "RRULE:" + rule.storeKey);
    } else if (const char* word = frequencyWord(rule.frequency)) {
      icalValues::addLine(series.get(), std::string("RRULE:FREQ=") + word);
    }
  }
  Stamp from;
  from.year = due.year;
  from.month = due.month;
  from.day = due.day;
  Stamp until = from;
  until.year += 30;
  GObjectPtr<ICalTime> start(i_cal_time_new_from_string(icalValues::valueText(from).c_str()));
  GObjectPtr<ICalTime> end(i_cal_time_new_from_string(icalValues::valueText(until).c_str()));
  NextOccurrence search;
  GError* error = nullptr;
  e_cal_recur_generate_instances_sync(series.get(), start.get(), end.get(), takeSecond, &search,
                                      nullptr, nullptr, zone, nullptr, &error);
  GErrorPtr owned(error);
  if (!search.next) return std::nullopt;
  DueDate next{search.next->year, search.next->month, search.next->day, std::nullopt, std::nullopt};
  if (due.hour) {
    next.hour = due.hour;
    next.minute = due.minute;
  }
  return next;
}

std::optional<Reminder> movedOn(const Reminder& reminder, ICalTimezone* zone) {
  auto next = nextDue(reminder, zone);
  if (!next) return std::nullopt;
  Reminder moved = reminder;
  moved.due = next;
  moved.completed = false;
  moved.completionDate.reset();
  for (auto& rule : moved.rules) {
    std::string key = upper(rule.storeKey);
    auto at = key.find("COUNT=");
    if (at == std::string::npos || (at > 0 && key[at - 1] != ';')) continue;
    auto end = rule.storeKey.find(';', at);
    int count = std::atoi(rule.storeKey.c_str() + at + 6);
    rule.storeKey.replace(at + 6, end == std::string::npos ? std::string::npos : end - at - 6,
                          std::to_string(std::max(count - 1, 1)));
  }
  return moved;
}

Reminder readReminder(ICalComponent* component, const icalValues::ZoneSource& zones) {
  Reminder reminder;
  reminder.id = text(i_cal_component_get_uid(component));
  reminder.title = text(i_cal_component_get_summary(component));
  reminder.notes = text(i_cal_component_get_description(component));
  if (auto url = icalValues::firstProperty(component, I_CAL_URL_PROPERTY)) {
    reminder.url = text(i_cal_property_get_url(url.get()));
  }
  if (auto due = icalValues::firstProperty(component, I_CAL_DUE_PROPERTY)) {
    if (auto stamp = icalValues::stampOf(due.get())) reminder.due = dueOf(*stamp, zones);
  }
  if (auto priority = icalValues::firstProperty(component, I_CAL_PRIORITY_PROPERTY)) {
    reminder.priority = i_cal_property_get_priority(priority.get());
  }
  for (GObjectPtr<ICalComponent> alarm(
           i_cal_component_get_first_component(component, I_CAL_VALARM_COMPONENT));
       alarm; alarm.reset(i_cal_component_get_next_component(component, I_CAL_VALARM_COMPONENT))) {
    reminder.alarms.push_back(alarmOf(alarm.get(), zones));
  }
  for (GObjectPtr<ICalProperty> rule(
           i_cal_component_get_first_property(component, I_CAL_RRULE_PROPERTY));
       rule; rule.reset(i_cal_component_get_next_property(component, I_CAL_RRULE_PROPERTY))) {
    reminder.rules.push_back(ruleOf(valueOf(rule.get())));
  }
  auto completed = icalValues::firstProperty(component, I_CAL_COMPLETED_PROPERTY);
  auto status = icalValues::firstProperty(component, I_CAL_STATUS_PROPERTY);
  reminder.completed = completed || (status && upper(valueOf(status.get())) == "COMPLETED");
  if (completed) {
    if (auto stamp = icalValues::stampOf(completed.get())) {
      reminder.completionDate = icalValues::momentOf(*stamp, zones);
    }
  }
  GCharPtr raw(i_cal_component_as_ical_string(component));
  reminder.storeKey = raw ? raw.get() : "";
  return reminder;
}

void writeReminder(ICalComponent* component, const Reminder& reminder) {
  icalValues::removeAll(component, I_CAL_SUMMARY_PROPERTY);
  if (!reminder.title.empty()) i_cal_component_set_summary(component, reminder.title.c_str());
  icalValues::removeAll(component, I_CAL_DESCRIPTION_PROPERTY);
  if (!reminder.notes.empty()) i_cal_component_set_description(component, reminder.notes.c_str());
  icalValues::removeAll(component, I_CAL_URL_PROPERTY);
  if (reminder.url) i_cal_component_take_property(component, i_cal_property_new_url(reminder.url->c_str()));

  icalValues::removeAll(component, I_CAL_DUE_PROPERTY);
  if (reminder.due) icalValues::addLine(component, dueLine(*reminder.due));

  icalValues::removeAll(component, I_CAL_PRIORITY_PROPERTY);
  if (reminder.priority > 0) {
    i_cal_component_take_property(component, i_cal_property_new_priority(reminder.priority));
  }

  removeAlarms(component);
  for (const auto& alarm : reminder.alarms) addAlarm(component, alarm, reminder.title);

  icalValues::removeAll(component, I_CAL_RRULE_PROPERTY);
  for (const auto& rule : reminder.rules) {
    if (!rule.storeKey.empty()) {
      icalValues::addLine(component, "RRULE:" + rule.storeKey);
    } else if (const char* word = frequencyWord(rule.frequency)) {
      icalValues::addLine(component, std::string("RRULE:FREQ=") + word);
    }
  }

  auto status = icalValues::firstProperty(component, I_CAL_STATUS_PROPERTY);
  bool statusDone = status && upper(valueOf(status.get())) == "COMPLETED";
  icalValues::removeAll(component, I_CAL_COMPLETED_PROPERTY);
  if (reminder.completed) {
    Stamp utc;
    utc.utc = true;
    auto when = reminder.completionDate.value_or(std::chrono::system_clock::now());
    icalValues::addLine(component,
                        "COMPLETED:" + icalValues::valueText(icalValues::stampIn(when, utc, {})));
    icalValues::removeAll(component, I_CAL_STATUS_PROPERTY);
    icalValues::addLine(component, "STATUS:COMPLETED");
    icalValues::removeAll(component, I_CAL_PERCENTCOMPLETE_PROPERTY);
    icalValues::addLine(component, "PERCENT-COMPLETE:100");
  } else if (statusDone) {
    icalValues::removeAll(component, I_CAL_STATUS_PROPERTY);
    icalValues::addLine(component, "STATUS:NEEDS-ACTION");
    icalValues::removeAll(component, I_CAL_PERCENTCOMPLETE_PROPERTY);
  }
}

}  // namespace taskComponents
