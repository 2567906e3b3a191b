#include "main/Context.h"
#include "main/ExitStatus.h"
#include "main/Permissions.h"
#include "main/Reply.h"

std::string_view automationStatus(Context& context, const std::string&, bool, bool) {
  fail(context.console, "Automation checks aren\u2019t built into this bridge yet.", EXIT_FAILED);
}
