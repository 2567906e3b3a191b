#include "platform/linux/SessionChoice.h"

#include <cstdlib>
#include <string_view>

namespace {

bool set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

SessionChoice SessionChoice::fromEnvironment() {
  const char* type = std::getenv("XDG_SESSION_TYPE");
  const bool wayland = set("WAYLAND_DISPLAY") || (type && std::string_view(type) == "wayland");
  return SessionChoice(wayland, set("DISPLAY"));
}

std::vector<std::string> SessionChoice::candidates(LandingNeed need) const {
  if (!wayland_) {
    switch (need) {
      case LandingNeed::Keys: return {"xinput"};
      case LandingNeed::Paste: return {"xtest"};
      case LandingNeed::Clipboard: return {"x11"};
      case LandingNeed::Front: return {"ewmh"};
    }
  }
  // Xwayland's X11 services reach only X clients, so they come after the compositor's own.
  std::vector<std::string> ways;
  switch (need) {
    case LandingNeed::Keys:
      ways = {"evdev"};
      break;
    case LandingNeed::Paste:
      ways = {"virtual-keyboard", "remote-desktop"};
      if (xDisplay_) ways.push_back("xtest");
      break;
    case LandingNeed::Clipboard:
      ways = {"data-control"};
      if (xDisplay_) ways.push_back("x11");
      break;
    case LandingNeed::Front:
      ways = {"sway", "kwin", "atspi"};
      break;
  }
  return ways;
}

std::string SessionChoice::remedy(LandingNeed need) {
  switch (need) {
    case LandingNeed::Keys:
      return "no keyboard device under /dev/input can be read, so the hold key is not seen: add "
             "your user to the input group and log in again";
    case LandingNeed::Paste:
      return "the compositor offers no virtual keyboard and no RemoteDesktop service, so text "
             "is copied, never pasted: use a wlroots compositor, GNOME or KDE Plasma";
    case LandingNeed::Clipboard:
      return "the compositor offers no clipboard control and no Xwayland runs, so the clipboard "
             "is left alone: start Xwayland, or use a wlroots compositor or KDE Plasma";
    case LandingNeed::Front:
      return "nothing tells the application in front (no sway, KWin or accessibility bus), so "
             "text is copied, never pasted: switch on the desktop's accessibility bus";
  }
  return "";
}

std::string SessionChoice::pick(
    LandingNeed need, const std::function<bool(const std::string& mechanism)>& offered) const {
  for (const auto& way : candidates(need)) {
    if (offered(way)) return way;
  }
  return "none";
}

void SessionChoice::record(LandingNeed need, const std::string& mechanism,
                           SessionBackends& backends) const {
  backends.session = wayland_ ? "wayland" : "x11";
  std::string* field = nullptr;
  switch (need) {
    case LandingNeed::Keys: field = &backends.keys; break;
    case LandingNeed::Paste: field = &backends.paste; break;
    case LandingNeed::Clipboard: field = &backends.clipboard; break;
    case LandingNeed::Front: field = &backends.front; break;
  }
  *field = mechanism;
  if (mechanism == "none") backends.missing.push_back(remedy(need));
}
