#include <algorithm>
#include <iterator>
#include <string_view>
#include <thread>

#include "base/Context.h"
#include "base/ExitStatus.h"
#include "main/permissions/Permissions.h"
#include "main/Reply.h"
#include "base/Timings.h"
#include "platform/Platform.h"

namespace {

// The desktop's own counterpart of each automation name, by application id: a running
// GApplication owns its id on the session bus.
struct AutomationTarget {
  std::string_view name;
  const char* appId;
};
constexpr AutomationTarget AUTOMATION_TARGETS[] = {
    {"mail", "org.gnome.Geary"},
    {"notes", "org.gnome.Notes"},
    {"music", "org.gnome.Music"},
    {"safari", "org.gnome.Epiphany"},
};

// The answer of a check whose target never appeared (the platform's "not running" code).
constexpr int NOT_RUNNING = -600;

[[noreturn]] void checkFailed(Context& context, const std::string& appId, int code) {
  fail(context.console,
       "Couldn\u2019t check access to " + appId + " (" + std::to_string(code) + ")", EXIT_FAILED);
}

// Starts the application hidden where the bus can activate it, else from its desktop entry.
// Whether it starts is seen by the checks that follow, so failures here are not reported.
void startInBackground(Context& context, const std::string& appId) {
  Platform& platform = context.platform;
  if (platform.appBus->activate(appId, context.timings.automationActivationLimit)) return;
  auto entries = platform.appCatalog->entries();
  auto entry = std::find_if(entries.begin(), entries.end(),
                            [&](const AppEntry& e) { return e.id == appId + ".desktop"; });
  if (entry != entries.end()) platform.appCatalog->launch(entry->path, {}, {});
}

}  // namespace

// Nothing on this desktop asks the user before one application drives another, so `ask` has
// nothing to prompt for: a running target is "granted".
std::string_view automationStatus(Context& context, const std::string& name, bool, bool launch) {
  if (name == "other-apps") return GRANTED;
  const auto* target = std::find_if(std::begin(AUTOMATION_TARGETS), std::end(AUTOMATION_TARGETS),
                                    [&](const AutomationTarget& t) { return t.name == name; });
  if (target == std::end(AUTOMATION_TARGETS)) usageError(context.console);
  const std::string appId = target->appId;
  int checks = std::max(context.timings.automationChecks, 1);
  for (int check = 1; check <= checks; ++check) {
    bool running = false;
    try {
      running = context.platform.appBus->hasOwner(appId);
    } catch (const AppBusError& error) {
      checkFailed(context, appId, error.code);
    }
    if (running) return GRANTED;
    if (!launch) fail(context.console, appId + " isn\u2019t running", EXIT_NOT_FOUND);
    if (check == 1) startInBackground(context, appId);
    if (check < checks) std::this_thread::sleep_for(context.timings.automationPoll);
  }
  checkFailed(context, appId, NOT_RUNNING);
}
