#include "main/permissions/Permissions.h"

#include <array>
#include <chrono>
#include <thread>

#include "base/Console.h"
#include "base/Context.h"
#include "main/Reply.h"
#include "base/Timings.h"
#include "platform/Platform.h"

namespace {

constexpr std::array AUTOMATION_NAMES = {"mail", "notes", "music", "other-apps", "safari"};

bool isAutomationName(const std::string& name) {
  for (const char* known : AUTOMATION_NAMES) {
    if (name == known) return true;
  }
  return false;
}

}  // namespace

std::string_view requestMicrophone(Platform& platform) { return microphoneStatus(platform); }

std::string_view requestSystemAudio(Platform& platform, const Timings& timings) {
  if (systemAudioStatus(platform) == GRANTED) return GRANTED;
  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                      timings.systemAudioRequestWait);
  while (std::chrono::steady_clock::now() < deadline) {
    if (systemAudioAllowedNow(platform)) return GRANTED;
    std::this_thread::sleep_for(timings.systemAudioRequestPoll);
  }
  return systemAudioStatus(platform);
}

std::string_view requestAccessibility(Platform& platform) {
  platform.accessibility->enable();
  return accessibilityStatus(platform);
}

void runPermissions(Context& context, const std::vector<std::string>& args) {
  const bool ask = !args.empty() && args[0] == "permission-request";
  const bool plain = !args.empty() && args[0] == "permission";
  bool launch = true;
  if (plain && args.size() == 3 && args[2] == "--no-launch") {
    launch = false;
  } else if (!((plain || ask) && args.size() == 2)) {
    usageError(context.console);
  }
  const std::string& name = args[1];
  Platform& platform = context.platform;

  std::string_view status;
  if (name == "microphone") {
    status = ask ? requestMicrophone(platform) : microphoneStatus(platform);
  } else if (name == "system-audio") {
    status = ask ? requestSystemAudio(platform, context.timings) : systemAudioStatus(platform);
  } else if (name == "accessibility") {
    status = ask ? requestAccessibility(platform) : accessibilityStatus(platform);
  } else if (name == "calendars" || name == "reminders") {
    status = eventStoreStatus(context, name == "reminders", ask);
  } else if (isAutomationName(name)) {
    status = automationStatus(context, name, ask, ask || launch);
  } else {
    usageError(context.console);
  }
  reply(context.console, {{"status", status}});
}
