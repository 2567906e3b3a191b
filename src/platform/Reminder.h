#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// A due date as the user set it: a day, with or without a time of day (local time).
struct DueDate {
  int year = 0;
  int month = 0;  // 1-12
  int day = 0;    // 1-31
  std::optional<int> hour;
  std::optional<int> minute;
};

// An alert: at a fixed moment, or at an offset from the due moment.
struct ReminderAlarm {
  std::optional<std::chrono::system_clock::time_point> absolute;
  std::chrono::seconds offset{0};  // used when there is no absolute moment
  std::string storeKey;            // the store's own text of an alarm left as it was
};

// A repetition rule, reduced to what the app can tell apart.
struct RecurrenceRule {
  enum class Frequency { Daily, Weekly, Monthly, Yearly, Other };

  Frequency frequency = Frequency::Daily;
  int interval = 1;
  bool hasEnd = false;       // a count or an end date
  bool hasPatterns = false;  // any by-day, by-month-day, by-month, by-week, by-year-day or set-position list
  std::string storeKey;      // the store's own text of a rule left as it was
};

// One reminder (a to-do item) of a reminder list.
struct Reminder {
  using TimePoint = std::chrono::system_clock::time_point;

  std::string id;  // "" until the store has saved it
  std::string listId;
  std::string title;
  std::string notes;
  std::optional<std::string> url;
  std::optional<DueDate> due;
  int priority = 0;  // 0 none, 1 highest ... 9 lowest
  std::vector<ReminderAlarm> alarms;
  std::vector<RecurrenceRule> rules;
  bool completed = false;
  std::optional<TimePoint> completionDate;
  std::string storeKey;  // opaque to the core: the store's own text of the item
};
