#pragma once

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/EventStore.h"

// An event store in memory. Events are stored as occurrences; saving or removing one touches
// only that occurrence, as the real store does. Tests arrange the fields directly.
class FakeEventStore final : public EventStore {
 public:
  bool answers = true;
  std::vector<StoreCalendar> calendars;
  std::optional<std::string> defaultCalendar;
  std::vector<CalendarEvent> occurrences;
  std::vector<StoreAccount> accountList;
  std::vector<StoreCalendar> lists;
  std::optional<std::string> defaultList;
  std::set<std::string> refusingAccounts;  // createReminderList throws for these
  std::vector<std::string> listAttempts;   // accounts createReminderList was asked for
  std::vector<Reminder> items;
  std::string refusal;  // when set, every write throws EventStoreError(refusal)
  int eventQueries = 0;
  int saves = 0;
  std::chrono::milliseconds callLimit{0};  // as the last limitCalls() set it
  bool silent = false;  // when set, reachable() throws as a store that stopped answering

  void limitCalls(std::chrono::milliseconds limit) override { callLimit = limit; }
  bool reachable() override {
    if (silent) throw EventStoreTimeout("The store did not answer in time.");
    return answers;
  }

  std::vector<StoreCalendar> eventCalendars() override { return calendars; }
  std::optional<std::string> defaultEventCalendarId() override { return defaultCalendar; }

  std::vector<CalendarEvent> events(TimePoint from, TimePoint to,
                                    const std::vector<std::string>& calendarIds) override {
    ++eventQueries;
    std::vector<CalendarEvent> found;
    for (const auto& event : occurrences) {
      bool inCalendar = calendarIds.empty() || std::find(calendarIds.begin(), calendarIds.end(),
                                                         event.calendarId) != calendarIds.end();
      if (inCalendar && event.start < to && (event.end > from || event.start >= from)) {
        found.push_back(withWritability(event));
      }
    }
    return found;
  }

  CalendarEvent addEvent(const NewEvent& event) override {
    refuseIfAsked();
    CalendarEvent made;
    made.id = "event-" + std::to_string(occurrences.size() + 1);
    made.calendarId = event.calendarId;
    made.title = event.title;
    made.start = event.start;
    made.end = event.end;
    made.allDay = event.allDay;
    made.notes = event.notes;
    made.location = event.location;
    made.storeKey = made.id + "@" + std::to_string(occurrences.size());
    occurrences.push_back(made);
    return withWritability(made);
  }

  void saveOccurrence(const CalendarEvent& event) override {
    refuseIfAsked();
    ++saves;
    for (auto& stored : occurrences) {
      if (stored.storeKey == event.storeKey) stored = event;
    }
  }

  void removeOccurrence(const CalendarEvent& event) override {
    refuseIfAsked();
    std::erase_if(occurrences, [&](const CalendarEvent& each) { return each.storeKey == event.storeKey; });
  }

  std::vector<StoreAccount> accounts() override { return accountList; }
  std::vector<StoreCalendar> reminderLists() override { return lists; }
  std::optional<std::string> defaultReminderListId() override { return defaultList; }

  StoreCalendar createReminderList(const std::string& accountId, const std::string& title) override {
    listAttempts.push_back(accountId);
    if (refusingAccounts.count(accountId) > 0) throw EventStoreError("refused by " + accountId);
    StoreCalendar list{"list-" + std::to_string(lists.size() + 1), title, accountId, "", "", true};
    lists.push_back(list);
    return list;
  }

  std::vector<Reminder> reminders(const std::string& listId) override {
    std::vector<Reminder> found;
    for (const auto& item : items) {
      if (item.listId == listId) found.push_back(item);
    }
    return found;
  }

  std::optional<Reminder> reminder(const std::string& listId, const std::string& id) override {
    for (const auto& item : items) {
      if (item.listId == listId && item.id == id) return item;
    }
    return std::nullopt;
  }

  Reminder saveReminder(const Reminder& reminder) override {
    refuseIfAsked();
    ++saves;
    for (auto& item : items) {
      if (!reminder.id.empty() && item.id == reminder.id) return item = reminder;
    }
    Reminder made = reminder;
    if (made.id.empty()) made.id = "reminder-" + std::to_string(items.size() + 1);
    items.push_back(made);
    return made;
  }

  void removeReminder(const Reminder& reminder) override {
    refuseIfAsked();
    std::erase_if(items, [&](const Reminder& each) { return each.id == reminder.id; });
  }

 private:
  void refuseIfAsked() const {
    if (!refusal.empty()) throw EventStoreError(refusal);
  }

  CalendarEvent withWritability(CalendarEvent event) const {
    for (const auto& calendar : calendars) {
      if (calendar.id == event.calendarId) event.calendarWritable = calendar.writable;
    }
    return event;
  }
};
