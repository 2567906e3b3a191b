#pragma once

#include <libecal/libecal.h>

#include <set>
#include <string>

#include "platform/CalendarEvent.h"
#include "platform/linux/ecal/IcalValues.h"

// Events as VEVENT components.
namespace eventComponents {

// Title, location, notes, link, attendees and organiser of the component; the user is the
// participant whose e-mail address (lower-case) is in `ownAddresses`.
void readDetails(ICalComponent* component, const std::set<std::string>& ownAddresses,
                 CalendarEvent& event);

// Writes title, location and notes, and start and end in the form the component's own start
// has (a day for all-day events, otherwise its zone, UTC or floating time).
void writeChanges(ICalComponent* component, const CalendarEvent& event,
                  const icalValues::ZoneSource& zones);

// A new component for event-add: timed events in UTC, all-day events as local days.
ICalComponent* newComponent(const NewEvent& event);

// The lower-case address of a "mailto:" calendar address, "" for anything else.
std::string mailAddress(const std::string& url);

}  // namespace eventComponents
