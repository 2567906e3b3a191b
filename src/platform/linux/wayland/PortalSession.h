#pragma once

#include <memory>
#include <string>

#include "platform/linux/wayland/DBusLink.h"
#include "platform/linux/wayland/KeySession.h"
#include "platform/linux/wayland/RemoteDesktopTimings.h"

// A keyboard session of the desktop's RemoteDesktop portal (GNOME, KDE): created, given the
// keyboard, then started, which is where the desktop asks the user's consent. Every request's
// answer comes as a Response signal on a path predicted from our bus name and a token; an answer
// that does not come within its limit closes the request (and with it the dialog). Where the
// portal can restore a session (version 2 and later), the token it hands back is kept so that a
// later session of this run needs no second consent.
//
// Threads: one thread at a time (the hold-key main loop); no state is shared with another.
class PortalSession final : public KeySession {
 public:
  enum class Outcome {
    Started,  // the user consented; keys go through
    Refused,  // the user declined, closed the dialog, or did not answer in time
    Absent,   // no portal on the bus, or one without a remote desktop that works
  };
  struct Opening {
    Outcome outcome = Outcome::Absent;
    std::unique_ptr<PortalSession> session;  // when Started
  };

  // True when the portal is running and offers the remote desktop; starts nothing.
  static bool offered(DBusLink& link, const RemoteDesktopTimings& timings);
  // Opens and starts a session. `restoreToken` is passed to the portal where it takes one, and
  // replaced by the one it hands back.
  static Opening open(DBusLink& link, const RemoteDesktopTimings& timings,
                      std::string& restoreToken);
  ~PortalSession() override;  // closes the session
  PortalSession(const PortalSession&) = delete;
  PortalSession& operator=(const PortalSession&) = delete;

  bool key(unsigned kernelCode, bool down) override;

 private:
  PortalSession(DBusLink& link, const RemoteDesktopTimings& timings, std::string handle);

  DBusLink& link_;
  RemoteDesktopTimings timings_;
  std::string handle_;
};
