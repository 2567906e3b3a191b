#pragma once

#include <libecal/libecal.h>

#include "platform/Reminder.h"

// Reminders as VTODO components.
namespace taskComponents {

// The reminder a component holds (without its list).
Reminder readReminder(ICalComponent* component, ECalClient* client);

// Writes every field of the reminder into the component, keeping what the reminder does not
// describe (other properties, alarms and rules it left as they were).
void writeReminder(ICalComponent* component, const Reminder& reminder);

}  // namespace taskComponents
