#include "main/Context.h"
#include "main/ExitStatus.h"
#include "main/Permissions.h"
#include "main/Reply.h"

std::string_view eventStoreStatus(Context& context, bool, bool) {
  fail(context.console, "Calendar access isn\u2019t built into this bridge yet.", EXIT_FAILED);
}
