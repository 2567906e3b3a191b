#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// Someone taking part in an event, or its organiser.
struct Participant {
  enum class Status { Pending, Accepted, Declined, Tentative, Other };

  std::string name;
  std::string url;  // the calendar address as the store has it, "mailto:..." for e-mail
  Status status = Status::Pending;
  bool isCurrentUser = false;
};

// One occurrence of an event: a repeating event yields one per occurrence.
struct CalendarEvent {
  using TimePoint = std::chrono::system_clock::time_point;

  std::string id;  // "" when the store gives none; detached occurrences carry "/RID=..."
  std::string calendarId;
  std::string title;
  TimePoint start;
  TimePoint end;
  bool allDay = false;
  std::string location;
  std::string notes;
  std::string url;
  std::vector<Participant> attendees;
  std::optional<Participant> organizer;
  bool calendarWritable = false;
  // Opaque to the core: what the store needs to find this very occurrence again.
  std::string storeKey;
};

// What event-add asks the store to create.
struct NewEvent {
  std::string calendarId;
  std::string title;
  CalendarEvent::TimePoint start;
  CalendarEvent::TimePoint end;
  std::string notes;     // "" for none
  std::string location;  // "" for none
  bool allDay = false;
};
