#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/PermissionStatus.h"

struct Context;
struct Platform;
struct Timings;

// Nothing prompts for the microphone here, so a request reports what it then finds.
std::string_view requestMicrophone(Platform& platform);

// Waits up to timings.systemAudioRequestWait for the monitor to become recordable.
std::string_view requestSystemAudio(Platform& platform, const Timings& timings);

// Switches assistive technologies on, then reports.
std::string_view requestAccessibility(Platform& platform);

// The event store's access for events ("calendars") or reminders ("reminders"); with ask, the
// request form. Ends the process with a message where the store cannot answer.
std::string_view eventStoreStatus(Context& context, bool reminders, bool ask);

// The automation check of one permission name ("mail", "notes", "music", "other-apps",
// "safari"). Returns a status word or ends the process (not running with launch off: 3).
std::string_view automationStatus(Context& context, const std::string& name, bool ask,
                                  bool launch);

// permission <name> [--no-launch] | permission-request <name>
[[noreturn]] void runPermissions(Context& context, const std::vector<std::string>& args);
