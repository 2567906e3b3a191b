#include "main/CalendarCommands.h"

#include "main/Context.h"
#include "main/ExitStatus.h"
#include "main/Reply.h"

void runCalendarCommand(Context& context, const std::vector<std::string>&) {
  fail(context.console, "Calendars aren\u2019t built into this bridge yet.", EXIT_FAILED);
}
