// The probe at start on a headless mutter (run inside tests/services/wayland-session.sh mutter):
// GNOME offers neither virtual keyboards nor data-control, so other backends must take over.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/linux/wayland/DataControlClipboard.h"
#include "platform/linux/wayland/VirtualKeyboardInput.h"

namespace {

TEST(MutterLaneWaylandProbe, NoVirtualKeyboardAndNoDataControl) {
  const char* lane = std::getenv("VESK_WAYLAND_LANE");
  if (!lane || std::string(lane) != "mutter") {
    GTEST_SKIP() << "runs inside tests/services/wayland-session.sh mutter";
  }
  EXPECT_FALSE(VirtualKeyboardInput().available());
  EXPECT_FALSE(DataControlClipboard().available());
}

}  // namespace
