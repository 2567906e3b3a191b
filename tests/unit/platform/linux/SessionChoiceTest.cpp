#include "platform/linux/SessionChoice.h"

#include <gtest/gtest.h>

#include <set>

namespace {

struct Desktop {
  const char* name;
  bool wayland;
  bool xDisplay;
  std::set<std::string> offered;
  SessionBackends expected;  // without the remedies
  size_t missing;
};

SessionBackends chosen(const SessionChoice& session, const std::set<std::string>& offered,
                       std::vector<std::string>* asked = nullptr) {
  SessionBackends backends;
  for (auto need : {LandingNeed::Keys, LandingNeed::Paste, LandingNeed::Clipboard,
                    LandingNeed::Front}) {
    session.record(need,
                   session.pick(need,
                                [&](const std::string& way) {
                                  if (asked) asked->push_back(way);
                                  return offered.count(way) > 0;
                                }),
                   backends);
  }
  return backends;
}

TEST(SessionChoice, EachDesktopGetsItsBestMechanismPerNeed) {
  const std::set<std::string> everything = {
      "xinput", "evdev", "xtest", "virtual-keyboard", "remote-desktop", "x11",
      "data-control", "ewmh", "sway", "kwin", "atspi"};
  const Desktop desktops[] = {
      {"X11", false, true, everything, {"x11", "xinput", "xtest", "x11", "ewmh", {}}, 0},
      {"X11 without a display", false, false, {}, {"x11", "none", "none", "none", "none", {}}, 4},
      {"sway", true, false, {"evdev", "virtual-keyboard", "data-control", "sway", "atspi"},
       {"wayland", "evdev", "virtual-keyboard", "data-control", "sway", {}}, 0},
      {"GNOME with Xwayland", true, true, {"evdev", "remote-desktop", "xtest", "x11", "atspi"},
       {"wayland", "evdev", "remote-desktop", "x11", "atspi", {}}, 0},
      {"KDE", true, true, {"evdev", "remote-desktop", "data-control", "kwin", "atspi", "x11"},
       {"wayland", "evdev", "remote-desktop", "data-control", "kwin", {}}, 0},
      // Not in the input group; only Xwayland's services: they still serve X clients.
      {"bare compositor with Xwayland", true, true, {"xtest", "x11"},
       {"wayland", "none", "xtest", "x11", "none", {}}, 2},
      // X11 mechanisms are never taken on a Wayland session without Xwayland.
      {"bare compositor", true, false, {"xtest", "x11", "xinput", "ewmh"},
       {"wayland", "none", "none", "none", "none", {}}, 4},
  };
  for (const auto& desktop : desktops) {
    SCOPED_TRACE(desktop.name);
    auto backends = chosen(SessionChoice(desktop.wayland, desktop.xDisplay), desktop.offered);
    EXPECT_EQ(backends.missing.size(), desktop.missing);
    backends.missing.clear();
    EXPECT_EQ(backends, desktop.expected);
  }
}

TEST(SessionChoice, StopsProbingAtTheFirstMechanismOffered) {
  std::vector<std::string> asked;
  chosen(SessionChoice(true, true), {"evdev", "virtual-keyboard", "data-control", "sway"}, &asked);
  EXPECT_EQ(asked, (std::vector<std::string>{"evdev", "virtual-keyboard", "data-control", "sway"}));
}

TEST(SessionChoice, AnUnreadableKeyboardNamesTheInputGroup) {
  const auto backends = chosen(SessionChoice(true, false), {"virtual-keyboard", "data-control",
                                                            "sway"});
  ASSERT_EQ(backends.missing.size(), 1u);
  EXPECT_NE(backends.missing[0].find("add your user to the input group and log in again"),
            std::string::npos);
}

}  // namespace
