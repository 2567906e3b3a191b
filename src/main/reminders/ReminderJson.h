#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "platform/Reminder.h"

// The reminder object the reminder commands reply with (without "doneAt").
nlohmann::json reminderJSON(const Reminder& reminder);

// "daily", "weekly", "monthly" or "yearly" for a plain rule (interval 1, no end, no patterns)
// of that frequency; "custom" for anything else.
std::string repeatName(const RecurrenceRule& rule);

// 1-4 "high", 5 "medium", 6-9 "low"; nothing for 0 (none) or a value out of range.
std::optional<std::string> priorityWord(int priority);

// When the first alarm goes off: its fixed moment, or the due moment plus its offset.
std::optional<Reminder::TimePoint> firstAlarmMoment(const Reminder& reminder);
