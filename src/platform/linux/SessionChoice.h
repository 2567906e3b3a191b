#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/SessionBackends.h"

// The needs of hold-to-talk that more than one backend can serve.
enum class LandingNeed { Keys, Paste, Clipboard, Front };

// Where hold-to-talk's backends come from: the X11 set on an X11 session; on a Wayland session
// (WAYLAND_DISPLAY set, or XDG_SESSION_TYPE=wayland), for each need the first mechanism the
// session offers, in order of preference.
class SessionChoice {
 public:
  // The session the environment describes.
  static SessionChoice fromEnvironment();
  SessionChoice(bool wayland, bool xDisplay) : wayland_(wayland), xDisplay_(xDisplay) {}

  bool wayland() const { return wayland_; }
  // The mechanisms that may serve `need` here, best first; the last one also stands in when none
  // is offered (its backend then reports itself unavailable).
  std::vector<std::string> candidates(LandingNeed need) const;
  // What the user is told when no mechanism serves `need`.
  static std::string remedy(LandingNeed need);
  // The first of the candidates for `need` that `offered` accepts, asked in order of preference
  // (those after it are never asked); "none" when it accepts none.
  std::string pick(LandingNeed need,
                   const std::function<bool(const std::string& mechanism)>& offered) const;
  // Writes the mechanism picked for `need` into `backends`, with the remedy when it is "none".
  void record(LandingNeed need, const std::string& mechanism, SessionBackends& backends) const;

 private:
  bool wayland_;
  bool xDisplay_;
};
