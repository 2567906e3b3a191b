#include "landing/HoldKeyCommand.h"

#include "main/Context.h"
#include "main/ExitStatus.h"
#include "main/Reply.h"

void runHoldKey(Context& context, const std::string&) {
  fail(context.console, "Hold-to-talk isn\u2019t built into this bridge yet.", EXIT_FAILED);
}
