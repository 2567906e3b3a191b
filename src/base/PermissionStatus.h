#pragma once

#include <string_view>

struct Platform;

// Status words.
inline constexpr std::string_view GRANTED = "granted";
inline constexpr std::string_view DENIED = "denied";
inline constexpr std::string_view NOT_ASKED = "not-asked";

// The message of every refusal of the microphone.
extern const std::string_view microphoneDenied;
// The message of every refusal of the computer's own sound.
extern const std::string_view systemAudioDenied;

// The microphone: "granted" when the sound server lets us record a source that is not a
// monitor, "denied" when it refuses us, "not-asked" when there is no server or no such source.
std::string_view microphoneStatus(Platform& platform);

// The computer's own sound (the default output's monitor), mapped as the microphone is.
std::string_view systemAudioStatus(Platform& platform);
// True exactly when systemAudioStatus() would say "granted".
bool systemAudioAllowedNow(Platform& platform);

// "granted" when assistive technologies are on and the display takes synthetic input,
// otherwise "not-asked" (never "denied").
std::string_view accessibilityStatus(Platform& platform);
// True when the accessibility bus is on and synthetic keys reach the applications: what pasting
// needs. The accessibility status also needs the hold key to be seen.
bool mayTypeForUser(Platform& platform);
