#include "main/AppCommands.h"

#include "main/Context.h"
#include "main/ExitStatus.h"
#include "main/Reply.h"

namespace {

[[noreturn]] void notBuilt(Context& context) {
  fail(context.console, "Apps and browsers aren\u2019t built into this bridge yet.", EXIT_FAILED);
}

}  // namespace

void runBrowsers(Context& context) { notBuilt(context); }
void runRunningApps(Context& context) { notBuilt(context); }
void runChromeProfiles(Context& context) { notBuilt(context); }
void runChromeOpen(Context& context, const std::string&, const std::string&, const std::string&) {
  notBuilt(context);
}
void runOpener(Context& context, const std::string&) { notBuilt(context); }
