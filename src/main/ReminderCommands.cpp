#include "main/ReminderCommands.h"

#include "main/Context.h"
#include "main/ExitStatus.h"
#include "main/Reply.h"

void runReminders(Context& context, const std::vector<std::string>&) {
  fail(context.console, "Reminders aren\u2019t built into this bridge yet.", EXIT_FAILED);
}
