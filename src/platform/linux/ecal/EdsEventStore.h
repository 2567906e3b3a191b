#pragma once

#include <libecal/libecal.h>

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/EventStore.h"
#include "platform/linux/ecal/GlibHandles.h"
#include "platform/linux/ecal/IcalValues.h"

// The event store on the desktop's calendar server: its source registry for calendars, lists
// and accounts, and one calendar client per calendar or list, connected on first use.
// Every call into the server is bounded by the call limit.
// Called on the main thread only (one-shot commands), so it holds no lock.
class EdsEventStore final : public EventStore {
 public:
  void limitCalls(std::chrono::milliseconds limit) override;
  bool reachable() override;

  std::vector<StoreCalendar> eventCalendars() override;
  std::optional<std::string> defaultEventCalendarId() override;
  std::vector<CalendarEvent> events(TimePoint from, TimePoint to,
                                    const std::vector<std::string>& calendarIds) override;
  CalendarEvent addEvent(const NewEvent& event) override;
  void saveOccurrence(const CalendarEvent& event) override;
  void removeOccurrence(const CalendarEvent& event) override;

  std::vector<StoreAccount> accounts() override;
  std::vector<StoreCalendar> reminderLists() override;
  std::optional<std::string> defaultReminderListId() override;
  StoreCalendar createReminderList(const std::string& accountId, const std::string& title) override;
  std::vector<Reminder> reminders(const std::string& listId) override;
  std::optional<Reminder> reminder(const std::string& listId, const std::string& id) override;
  Reminder saveReminder(const Reminder& reminder) override;
  void removeReminder(const Reminder& reminder) override;

 private:
  icalValues::ZoneSource zonesOf(ECalClient* client) const;
  ESourceRegistry* registry();
  GObjectPtr<ESource> source(const std::string& uid);
  ECalClient* client(const std::string& sourceUid, ECalClientSourceType type);
  std::vector<StoreCalendar> calendarsWith(const char* extension, ECalClientSourceType type,
                                           bool enabledOnly);
  StoreCalendar calendarOf(ESource* source, const char* extension, ECalClientSourceType type);
  const std::set<std::string>& ownAddresses(const std::string& sourceUid);
  void expand(const std::string& calendarId, TimePoint from, TimePoint to,
              std::vector<CalendarEvent>& out);
  CalendarEvent eventOf(ICalComponent* component, const std::string& calendarId, TimePoint start,
                        TimePoint end, bool allDay, const std::string& kind,
                        const std::string& recurrenceId);
  bool calendarWritable(const std::string& calendarId);

  std::chrono::milliseconds callLimit_{15000};
  std::optional<bool> reachable_;
  GObjectPtr<ESourceRegistry> registry_;
  std::map<std::string, GObjectPtr<ECalClient>> clients_;
  std::map<std::string, std::set<std::string>> ownAddresses_;
  std::map<std::string, bool> writable_;
};
