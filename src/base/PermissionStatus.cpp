#include "base/PermissionStatus.h"

#include "platform/Platform.h"

const std::string_view microphoneDenied =
    "Microphone access denied. Allow Vesk in System Settings \u2192 Privacy & Security \u2192 "
    "Microphone.";

const std::string_view systemAudioDenied =
    "Screen & System Audio access denied. Allow Vesk in System Settings \u2192 Privacy & "
    "Security \u2192 Screen & System Audio Recording.";

namespace {

std::string_view statusOf(SoundServer::Access access) {
  switch (access) {
    case SoundServer::Access::Allowed:
      return GRANTED;
    case SoundServer::Access::Refused:
      return DENIED;
    case SoundServer::Access::Absent:
      break;
  }
  return NOT_ASKED;
}

}  // namespace

std::string_view microphoneStatus(Platform& platform) {
  return statusOf(platform.soundServer->microphoneAccess());
}

std::string_view systemAudioStatus(Platform& platform) {
  return statusOf(platform.soundServer->outputMonitorAccess());
}

bool systemAudioAllowedNow(Platform& platform) {
  return platform.soundServer->outputMonitorAccess() == SoundServer::Access::Allowed;
}

bool mayTypeForUser(Platform& platform) {
  return platform.accessibility->enabled() && platform.syntheticInput->available();
}

std::string_view accessibilityStatus(Platform& platform) {
  // Trusted means the bridge can both type for the user and see the hold key.
  return mayTypeForUser(platform) && platform.inputMonitor->available() ? GRANTED : NOT_ASKED;
}
