#include "listening/meeting/ListenCommand.h"

#include "main/Context.h"
#include "main/ExitStatus.h"
#include "main/Reply.h"

void runListen(Context& context, const std::string&) {
  fail(context.console, "Meeting listening isn\u2019t built into this bridge yet.", EXIT_FAILED);
}
