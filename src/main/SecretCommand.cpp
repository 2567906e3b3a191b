#include "main/SecretCommand.h"

#include "main/Context.h"
#include "main/ExitStatus.h"
#include "main/Reply.h"

void runSecret(Context& context, const std::string&, const std::string&) {
  fail(context.console, "Secrets aren\u2019t built into this bridge yet.", EXIT_FAILED);
}
