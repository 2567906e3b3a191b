#pragma once

#include <chrono>

// How long the remote desktop keyboard waits on the desktop; tests build shorter ones.
struct RemoteDesktopTimings {
  using ms = std::chrono::milliseconds;
  ms callLimit{3000};      // one call to the desktop's services on the session bus
  ms consentLimit{60000};  // the user's answer to the consent dialog, after which it counts as refused
  ms wakeSettle{700};      // after the wake key: the focused client binds the new seat keyboard
};
