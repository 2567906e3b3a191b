#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/Reminder.h"

// Applies the fields of a reminder-add or reminder-update object to a reminder: title, notes,
// link, the due block (due day, time, alert), priority, repetition and completion.
// `now` is the completion moment of a reminder that becomes done.
void applyReminderFields(const nlohmann::json& input, Reminder& reminder, Reminder::TimePoint now);

// "H:M" into (hour, minute): the pieces between colons that are decimal integers, when exactly
// two remain and they make a time of day.
std::optional<std::pair<int, int>> hourMinute(std::string_view text);

// The alert a due date gets: nine hours into a day without time, at the time when there is one.
ReminderAlarm standardAlarm(const DueDate& due);

// Whether the text is a URL as a link can hold: not empty, and only characters a URL may
// contain, with "%" followed by two hexadecimal digits.
bool isLinkText(std::string_view text);
