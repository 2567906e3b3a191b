#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/CalendarEvent.h"
#include "platform/EventStoreError.h"
#include "platform/EventStoreTimeout.h"
#include "platform/Reminder.h"
#include "platform/StoreAccount.h"
#include "platform/StoreCalendar.h"

// The calendar and reminder store of the desktop. Exists so tests can replace it; the real one
// talks to the desktop's calendar server. Every operation but reachable() throws
// EventStoreError with the store's description when the store refuses or fails, and
// EventStoreTimeout when it does not answer in time.
class EventStore {
 public:
  using TimePoint = std::chrono::system_clock::time_point;

  virtual ~EventStore() = default;

  // How long each later call may wait on the store before it throws EventStoreTimeout.
  virtual void limitCalls(std::chrono::milliseconds limit) = 0;

  // Whether the store answers at all (the only "access" there is to ask for).
  virtual bool reachable() = 0;

  // Event calendars in the store's order, and the one new events go to by default.
  virtual std::vector<StoreCalendar> eventCalendars() = 0;
  virtual std::optional<std::string> defaultEventCalendarId() = 0;

  // Every occurrence overlapping [from, to) in the given calendars (every calendar when the
  // list is empty), in the store's order.
  virtual std::vector<CalendarEvent> events(TimePoint from, TimePoint to,
                                            const std::vector<std::string>& calendarIds) = 0;
  virtual CalendarEvent addEvent(const NewEvent& event) = 0;
  // Writes title, start, end, location and notes of this occurrence only.
  virtual void saveOccurrence(const CalendarEvent& event) = 0;
  // Removes this occurrence only.
  virtual void removeOccurrence(const CalendarEvent& event) = 0;

  // Accounts, reminder lists in the store's order, and the list new reminders go to by default.
  virtual std::vector<StoreAccount> accounts() = 0;
  virtual std::vector<StoreCalendar> reminderLists() = 0;
  virtual std::optional<std::string> defaultReminderListId() = 0;
  // Creates and commits a reminder list in the account; on failure nothing is left behind.
  virtual StoreCalendar createReminderList(const std::string& accountId,
                                           const std::string& title) = 0;

  // Every reminder of the list, done or not, in the store's order.
  virtual std::vector<Reminder> reminders(const std::string& listId) = 0;
  // The reminder with that identifier in that list, if there is one.
  virtual std::optional<Reminder> reminder(const std::string& listId, const std::string& id) = 0;
  // Creates the reminder (empty id) or replaces it; returns it as now stored.
  virtual Reminder saveReminder(const Reminder& reminder) = 0;
  virtual void removeReminder(const Reminder& reminder) = 0;
};
