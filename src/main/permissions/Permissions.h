#pragma once

#include <string>
#include <string_view>
#include <vector>

struct Context;
struct Platform;
struct Timings;

// Status words.
inline constexpr std::string_view GRANTED = "granted";
inline constexpr std::string_view DENIED = "denied";
inline constexpr std::string_view NOT_ASKED = "not-asked";

// The message of every refusal of the computer's own sound.
extern const std::string_view systemAudioDenied;

// The microphone: "granted" when the sound server lets us record a source that is not a
// monitor, "denied" when it refuses us, "not-asked" when there is no server or no such source.
std::string_view microphoneStatus(Platform& platform);
// Nothing prompts for the microphone here, so a request reports what it then finds.
std::string_view requestMicrophone(Platform& platform);

// The computer's own sound (the default output's monitor), mapped as the microphone is.
std::string_view systemAudioStatus(Platform& platform);
// True exactly when systemAudioStatus() would say "granted".
bool systemAudioAllowedNow(Platform& platform);
// Waits up to timings.systemAudioRequestWait for the monitor to become recordable.
std::string_view requestSystemAudio(Platform& platform, const Timings& timings);

// "granted" when assistive technologies are on and the display takes synthetic input,
// otherwise "not-asked" (never "denied").
std::string_view accessibilityStatus(Platform& platform);
// True when the accessibility bus is on and synthetic keys reach the applications: what pasting
// needs. The accessibility status also needs the hold key to be seen.
bool mayTypeForUser(Platform& platform);
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
