#pragma once

#include <libecal/libecal.h>

#include <optional>

#include "platform/Reminder.h"
#include "platform/linux/ecal/IcalValues.h"

// Reminders as VTODO components.
namespace taskComponents {

// The reminder a component holds (without its list).
Reminder readReminder(ICalComponent* component, const icalValues::ZoneSource& zones);

// Writes every field of the reminder into the component, keeping what the reminder does not
// describe (other properties, alarms and rules it left as they were).
void writeReminder(ICalComponent* component, const Reminder& reminder);

// The due date of the occurrence after the current one, by the reminder's repetition rules;
// nothing when it does not repeat or has no occurrence left. Days and times are in `zone`.
std::optional<DueDate> nextDue(const Reminder& reminder, ICalTimezone* zone);

// The reminder moved on to its next occurrence, open, with every counted rule counting one
// occurrence fewer (the count starts again from the new due date); nothing when no occurrence
// is left.
std::optional<Reminder> movedOn(const Reminder& reminder, ICalTimezone* zone);

}  // namespace taskComponents
