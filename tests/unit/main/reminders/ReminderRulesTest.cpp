#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "main/calendar/LocalCalendar.h"
#include "main/reminders/ReminderEditor.h"
#include "main/reminders/ReminderJson.h"
#include "base/TimeText.h"

namespace {

using nlohmann::json;
using std::chrono::seconds;

// Local-time rules run in one fixed zone with a daylight-saving change.
class ReminderRulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
  }
  void TearDown() override {
    unsetenv("TZ");
    tzset();
  }

  Reminder::TimePoint now = readIso("2025-03-05T12:00:00.000Z").value();
};

RecurrenceRule rule(RecurrenceRule::Frequency frequency, int interval = 1, bool end = false,
                    bool patterns = false) {
  RecurrenceRule made;
  made.frequency = frequency;
  made.interval = interval;
  made.hasEnd = end;
  made.hasPatterns = patterns;
  return made;
}

DueDate dueDay(int year, int month, int dayOfMonth) { return DueDate{year, month, dayOfMonth, {}, {}}; }

DueDate dayAt(int year, int month, int dayOfMonth, int hour, int minute) {
  return DueDate{year, month, dayOfMonth, hour, minute};
}

Reminder edited(Reminder reminder, const char* input, Reminder::TimePoint now = {}) {
  applyReminderFields(json::parse(input), reminder, now);
  return reminder;
}

}  // namespace

TEST(HourMinuteTest, TwoNumbersInRange) {
  using Pair = std::pair<int, int>;
  EXPECT_EQ(hourMinute("9:5"), Pair(9, 5));
  EXPECT_EQ(hourMinute("x:10:20"), Pair(10, 20));
  EXPECT_EQ(hourMinute("::14::30:"), Pair(14, 30));
  EXPECT_EQ(hourMinute("+7:-0"), Pair(7, 0));
  EXPECT_FALSE(hourMinute("24:00"));
  EXPECT_FALSE(hourMinute("9:60"));
  EXPECT_FALSE(hourMinute("9"));
  EXPECT_FALSE(hourMinute("1:2:3"));
  EXPECT_FALSE(hourMinute("-1:30"));
  EXPECT_FALSE(hourMinute(" 9:30"));
}

TEST(RepeatNameTest, OnlyPlainRulesHaveAName) {
  using F = RecurrenceRule::Frequency;
  EXPECT_EQ(repeatName(rule(F::Daily)), "daily");
  EXPECT_EQ(repeatName(rule(F::Weekly)), "weekly");
  EXPECT_EQ(repeatName(rule(F::Monthly)), "monthly");
  EXPECT_EQ(repeatName(rule(F::Yearly)), "yearly");
  EXPECT_EQ(repeatName(rule(F::Weekly, 2)), "custom");
  EXPECT_EQ(repeatName(rule(F::Weekly, 1, false, true)), "custom");
  EXPECT_EQ(repeatName(rule(F::Daily, 1, true)), "custom");
  EXPECT_EQ(repeatName(rule(F::Other)), "custom");
}

TEST(PriorityWordTest, ScaleOfNine) {
  EXPECT_EQ(priorityWord(1), "high");
  EXPECT_EQ(priorityWord(3), "high");
  EXPECT_EQ(priorityWord(5), "medium");
  EXPECT_EQ(priorityWord(7), "low");
  EXPECT_EQ(priorityWord(9), "low");
  EXPECT_FALSE(priorityWord(0));
  EXPECT_FALSE(priorityWord(10));
}

TEST_F(ReminderRulesTest, ReminderObjectKeysFollowWhatIsSet) {
  Reminder reminder;
  reminder.id = "r1";
  EXPECT_EQ(reminderJSON(reminder), (json{{"id", "r1"}, {"title", ""}, {"alert", false}}));

  reminder.due = dueDay(2025, 3, 1);
  reminder.priority = 7;
  reminder.notes = "n";
  reminder.url = "https://example.com";
  reminder.rules = {rule(RecurrenceRule::Frequency::Weekly, 2)};
  auto object = reminderJSON(reminder);
  EXPECT_EQ(object["due"], "2025-03-01");
  EXPECT_FALSE(object.contains("time"));
  EXPECT_EQ(object["priority"], "low");
  EXPECT_EQ(object["notes"], "n");
  EXPECT_EQ(object["link"], "https://example.com");
  EXPECT_EQ(object["repeat"], "custom");

  reminder.due = dayAt(2025, 3, 1, 9, 5);
  EXPECT_EQ(reminderJSON(reminder)["time"], "09:05");
}

TEST_F(ReminderRulesTest, AlertMomentIsFixedOrRelativeToTheDueMoment) {
  Reminder reminder;
  reminder.alarms = {ReminderAlarm{std::nullopt, seconds(-15 * 60), ""}};
  auto object = reminderJSON(reminder);
  EXPECT_EQ(object["alert"], true);
  EXPECT_FALSE(object.contains("alertAt"));

  reminder.due = dayAt(2025, 3, 1, 10, 0);
  EXPECT_EQ(reminderJSON(reminder)["alertAt"], "2025-03-01 09:45");

  reminder.due = dueDay(2025, 3, 1);
  reminder.alarms = {standardAlarm(*reminder.due)};
  EXPECT_EQ(reminderJSON(reminder)["alertAt"], "2025-03-01 09:00");

  reminder.alarms = {ReminderAlarm{readIso("2025-03-30T08:30:00.000Z"), seconds(0), ""}};
  EXPECT_EQ(reminderJSON(reminder)["alertAt"], "2025-03-30 10:30");
}

TEST_F(ReminderRulesTest, DaysReadInTheirPatternOnly) {
  auto read = localCalendar::readDay("2025-03-01");
  ASSERT_TRUE(read);
  EXPECT_EQ(localCalendar::dayText(*localCalendar::moment(*read)), "2025-03-01");
  EXPECT_EQ(localCalendar::moment(*read), readIso("2025-02-28T23:00:00.000Z"));
  EXPECT_FALSE(localCalendar::readDay("01.03.2025"));
  EXPECT_FALSE(localCalendar::readDay("2025-02-30"));
  EXPECT_FALSE(localCalendar::readDay("2025-03-01T00:00"));
  EXPECT_FALSE(localCalendar::readDay(""));
  // Days beyond the clock's span read as nothing, and their moment is nothing.
  EXPECT_FALSE(localCalendar::readDay("6888-8-06"));
  EXPECT_FALSE(localCalendar::readDay("0000-01-01"));
  EXPECT_FALSE(localCalendar::moment(DueDate{9999, 12, 31, 23, 59}));
}

TEST_F(ReminderRulesTest, SettingADueDayWithoutAlertDropsTheAlert) {
  Reminder reminder;
  reminder.due = dueDay(2025, 3, 1);
  reminder.alarms = {standardAlarm(*reminder.due)};
  auto changed = edited(reminder, R"({"due":"2025-03-02"})");
  EXPECT_TRUE(changed.alarms.empty());
  changed = edited(reminder, R"({"due":"2025-03-02","alert":true})");
  ASSERT_EQ(changed.alarms.size(), 1u);
  EXPECT_EQ(changed.alarms[0].offset, seconds(32400));
}

TEST_F(ReminderRulesTest, TimeAloneKeepsTheDayAndDayAloneKeepsTheTime) {
  Reminder reminder;
  reminder.due = dueDay(2025, 3, 1);
  auto timed = edited(reminder, R"({"time":"14:30","alert":true})");
  ASSERT_TRUE(timed.due);
  EXPECT_EQ(reminderJSON(timed)["due"], "2025-03-01");
  EXPECT_EQ(reminderJSON(timed)["time"], "14:30");
  EXPECT_EQ(timed.alarms.at(0).offset, seconds(0));

  reminder.due = dayAt(2025, 3, 1, 9, 0);
  auto moved = edited(reminder, R"({"due":"2025-03-02"})");
  EXPECT_EQ(reminderJSON(moved)["due"], "2025-03-02");
  EXPECT_EQ(reminderJSON(moved)["time"], "09:00");

  auto untimed = edited(reminder, R"({"time":"24:00"})");
  EXPECT_FALSE(untimed.due->hour);
}

TEST_F(ReminderRulesTest, NoDayClearsDueAlertsAndRepetition) {
  Reminder reminder;
  reminder.due = dueDay(2025, 3, 1);
  reminder.alarms = {standardAlarm(*reminder.due)};
  reminder.rules = {rule(RecurrenceRule::Frequency::Weekly)};
  for (const char* input : {R"({"due":null})", R"({"due":"01.03.2025"})", R"({"due":5})"}) {
    auto cleared = edited(reminder, input);
    EXPECT_FALSE(cleared.due) << input;
    EXPECT_TRUE(cleared.alarms.empty()) << input;
    EXPECT_TRUE(cleared.rules.empty()) << input;
  }
  Reminder undated;
  undated.rules = {rule(RecurrenceRule::Frequency::Daily)};
  auto timeOnly = edited(undated, R"({"time":"14:30"})");
  EXPECT_FALSE(timeOnly.due);
  EXPECT_TRUE(timeOnly.rules.empty());
}

TEST_F(ReminderRulesTest, RepeatNeedsADueDateAndCustomKeepsTheRule) {
  Reminder undated;
  auto weekly = edited(undated, R"({"repeat":"weekly"})");
  EXPECT_TRUE(weekly.rules.empty());

  Reminder dated;
  dated.due = dueDay(2025, 3, 1);
  weekly = edited(dated, R"({"repeat":"weekly"})");
  ASSERT_EQ(weekly.rules.size(), 1u);
  EXPECT_EQ(repeatName(weekly.rules[0]), "weekly");

  dated.rules = {rule(RecurrenceRule::Frequency::Weekly, 2)};
  dated.rules[0].storeKey = "FREQ=WEEKLY;INTERVAL=2";
  auto kept = edited(dated, R"({"repeat":"custom"})");
  ASSERT_EQ(kept.rules.size(), 1u);
  EXPECT_EQ(kept.rules[0].storeKey, "FREQ=WEEKLY;INTERVAL=2");
  EXPECT_TRUE(edited(dated, R"({"repeat":"none"})").rules.empty());
  EXPECT_TRUE(edited(dated, R"({"repeat":true})").rules.empty());
}

TEST_F(ReminderRulesTest, PriorityWordsOutsideTheTableClearIt) {
  Reminder reminder;
  reminder.priority = 5;
  EXPECT_EQ(edited(reminder, R"({"priority":"high"})").priority, 1);
  EXPECT_EQ(edited(reminder, R"({"priority":"low"})").priority, 9);
  EXPECT_EQ(edited(reminder, R"({"priority":"urgent"})").priority, 0);
  EXPECT_EQ(edited(reminder, R"({"priority":1})").priority, 0);
  EXPECT_EQ(edited(reminder, R"({"title":"x"})").priority, 5);
}

TEST_F(ReminderRulesTest, TextFieldsAndLinks) {
  Reminder reminder;
  reminder.title = "old";
  reminder.notes = "notes";
  reminder.url = "https://old.example";
  auto changed = edited(reminder, R"({"title":"","notes":"","link":"https://example.com/a?b=c%20d"})");
  EXPECT_EQ(changed.title, "");
  EXPECT_EQ(changed.notes, "");
  EXPECT_EQ(changed.url, "https://example.com/a?b=c%20d");
  EXPECT_FALSE(edited(reminder, R"({"link":"not a link"})").url);
  EXPECT_FALSE(edited(reminder, R"({"link":""})").url);
  EXPECT_EQ(edited(reminder, R"({"link":7})").url, "https://old.example");
}

TEST_F(ReminderRulesTest, DoneOnARepeatingReminderTradesAFixedAlertForTheStandardOne) {
  Reminder reminder;
  reminder.due = dayAt(2025, 3, 1, 10, 0);
  reminder.rules = {rule(RecurrenceRule::Frequency::Weekly)};
  reminder.alarms = {ReminderAlarm{readIso("2025-03-01T08:00:00.000Z"), seconds(0), "kept"},
                     ReminderAlarm{std::nullopt, seconds(-600), "relative"}};
  auto done = edited(reminder, R"({"done":true})", now);
  EXPECT_TRUE(done.completed);
  EXPECT_EQ(done.completionDate, now);
  ASSERT_EQ(done.alarms.size(), 2u);
  EXPECT_EQ(done.alarms[0].storeKey, "relative");
  EXPECT_FALSE(done.alarms[1].absolute);
  EXPECT_EQ(done.alarms[1].offset, seconds(0));

  auto reopened = edited(done, R"({"done":false})", now);
  EXPECT_FALSE(reopened.completed);
  EXPECT_FALSE(reopened.completionDate);
  EXPECT_TRUE(edited(done, R"({"done":"yes"})", now).completed);
}

TEST_F(ReminderRulesTest, DoneKeepsAnEarlierCompletionMoment) {
  Reminder reminder;
  reminder.completed = true;
  reminder.completionDate = readIso("2025-03-01T08:00:00.000Z");
  EXPECT_EQ(edited(reminder, R"({"done":true})", now).completionDate, reminder.completionDate);
}
