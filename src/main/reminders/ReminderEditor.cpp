#include "main/reminders/ReminderEditor.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "main/calendar/LocalCalendar.h"

namespace {

using nlohmann::json;

constexpr std::chrono::seconds NO_TIME_ALERT_OFFSET{9 * 3600};

std::optional<int> decimal(std::string_view piece) {
  std::size_t at = 0;
  bool negative = false;
  if (!piece.empty() && (piece[0] == '+' || piece[0] == '-')) {
    negative = piece[0] == '-';
    at = 1;
  }
  if (at == piece.size() || piece.size() - at > 9) return std::nullopt;
  int value = 0;
  for (; at < piece.size(); ++at) {
    if (!std::isdigit(static_cast<unsigned char>(piece[at]))) return std::nullopt;
    value = value * 10 + (piece[at] - '0');
  }
  return negative ? -value : value;
}

std::optional<int> priorityValue(const json& value) {
  if (!value.is_string()) return std::nullopt;
  const auto& word = value.get_ref<const std::string&>();
  if (word == "high") return 1;
  if (word == "medium") return 5;
  if (word == "low") return 9;
  return std::nullopt;
}

std::optional<RecurrenceRule::Frequency> frequencyNamed(const json& value) {
  if (!value.is_string()) return std::nullopt;
  const auto& word = value.get_ref<const std::string&>();
  if (word == "daily") return RecurrenceRule::Frequency::Daily;
  if (word == "weekly") return RecurrenceRule::Frequency::Weekly;
  if (word == "monthly") return RecurrenceRule::Frequency::Monthly;
  if (word == "yearly") return RecurrenceRule::Frequency::Yearly;
  return std::nullopt;
}

bool has(const json& input, const char* key) { return input.find(key) != input.end(); }

void applyDue(const json& input, Reminder& reminder) {
  std::optional<DueDate> old = reminder.due;
  reminder.alarms.clear();

  std::optional<DueDate> day;
  if (has(input, "due")) {
    const json& value = input.at("due");
    if (value.is_string()) day = localCalendar::readDay(value.get_ref<const std::string&>());
  } else if (old) {
    day = DueDate{old->year, old->month, old->day, std::nullopt, std::nullopt};
  }

  std::optional<std::pair<int, int>> time;
  if (has(input, "time")) {
    const json& value = input.at("time");
    if (value.is_string()) time = hourMinute(value.get_ref<const std::string&>());
  } else if (old && old->hour) {
    time = std::make_pair(*old->hour, old->minute.value_or(0));
  }

  if (!day) {
    reminder.due.reset();
    reminder.rules.clear();
    return;
  }
  if (time) {
    day->hour = time->first;
    day->minute = time->second;
  }
  auto alert = input.find("alert");
  if (alert != input.end() && alert->is_boolean() && alert->get<bool>()) {
    reminder.alarms.push_back(standardAlarm(*day));
  }
  reminder.due = day;
}

void applyRepeat(const json& value, Reminder& reminder) {
  if (value.is_string() && value.get_ref<const std::string&>() == "custom") return;
  reminder.rules.clear();
  auto frequency = frequencyNamed(value);
  if (reminder.due && frequency) {
    RecurrenceRule rule;
    rule.frequency = *frequency;
    reminder.rules.push_back(rule);
  }
}

void applyDone(bool done, Reminder& reminder, Reminder::TimePoint now) {
  if (done && !reminder.rules.empty() && reminder.due) {
    auto fixed = std::remove_if(reminder.alarms.begin(), reminder.alarms.end(),
                                [](const ReminderAlarm& alarm) { return alarm.absolute.has_value(); });
    if (fixed != reminder.alarms.end()) {
      reminder.alarms.erase(fixed, reminder.alarms.end());
      reminder.alarms.push_back(standardAlarm(*reminder.due));
    }
  }
  if (done && !reminder.completed) reminder.completionDate = now;
  if (!done) reminder.completionDate.reset();
  reminder.completed = done;
}

}  // namespace

std::optional<std::pair<int, int>> hourMinute(std::string_view text) {
  std::vector<int> numbers;
  std::size_t start = 0;
  while (start <= text.size()) {
    auto colon = text.find(':', start);
    auto piece = text.substr(start, colon == std::string_view::npos ? std::string_view::npos
                                                                    : colon - start);
    if (!piece.empty()) {
      if (auto number = decimal(piece)) numbers.push_back(*number);
    }
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  if (numbers.size() != 2) return std::nullopt;
  if (numbers[0] < 0 || numbers[0] > 23 || numbers[1] < 0 || numbers[1] > 59) return std::nullopt;
  return std::make_pair(numbers[0], numbers[1]);
}

ReminderAlarm standardAlarm(const DueDate& due) {
  ReminderAlarm alarm;
  alarm.offset = due.hour ? std::chrono::seconds{0} : NO_TIME_ALERT_OFFSET;
  return alarm;
}

bool isLinkText(std::string_view text) {
  if (text.empty()) return false;
  static constexpr std::string_view allowed = "-._~:/?#[]@!$&'()*+,;=";
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (std::isalnum(c) || allowed.find(static_cast<char>(c)) != std::string_view::npos) continue;
    if (c == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      i += 2;
      continue;
    }
    return false;
  }
  return true;
}

void applyReminderFields(const json& input, Reminder& reminder, Reminder::TimePoint now) {
  if (auto title = input.find("title"); title != input.end() && title->is_string()) {
    reminder.title = title->get<std::string>();
  }
  if (auto notes = input.find("notes"); notes != input.end() && notes->is_string()) {
    reminder.notes = notes->get<std::string>();
  }
  if (auto link = input.find("link"); link != input.end() && link->is_string()) {
    const auto& text = link->get_ref<const std::string&>();
    reminder.url = isLinkText(text) ? std::optional<std::string>(text) : std::nullopt;
  }
  if (has(input, "due") || has(input, "time")) applyDue(input, reminder);
  if (has(input, "priority")) reminder.priority = priorityValue(input.at("priority")).value_or(0);
  if (has(input, "repeat")) applyRepeat(input.at("repeat"), reminder);
  if (auto done = input.find("done"); done != input.end() && done->is_boolean()) {
    applyDone(done->get<bool>(), reminder, now);
  }
}
