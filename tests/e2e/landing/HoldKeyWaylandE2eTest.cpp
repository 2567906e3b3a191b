// listen hold-key on headless Wayland compositors (inside tests/services/wayland-session.sh):
// - sway: the backends the run picks, a landing through the virtual keyboard into a GTK entry
//   with the clipboard put back through data-control, the front app from sway, and a password
//   field refused through the accessibility bus;
// - mutter: a landing through GNOME's RemoteDesktop service, with the clipboard of Xwayland and
//   the front app from the accessibility bus.
// There are no keyboard devices here, so the hold key itself is not seen and the log says what
// the user would do about it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "support/BackgroundProgram.h"
#include "support/Eventually.h"
#include "support/Files.h"
#include "support/LiveProcess.h"
#include "support/Run.h"
#include "support/Scratch.h"
#include "support/WaylandLane.h"

namespace {

using namespace std::chrono_literals;

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

std::string runTool(const std::string& program, const std::vector<std::string>& args) {
  RunOptions options;
  options.timeoutSeconds = 10;
  return runProgram(program, args, options).out;
}

class WaylandHoldKey : public ::testing::Test {
 protected:
  void SetUp() override {
    runTool("/usr/bin/busctl", {"--user", "set-property", "org.a11y.Bus", "/org/a11y/bus",
                            "org.a11y.Status", "IsEnabled", "b", "true"});
  }

  // The bridge, once its virtual keyboard is on the seat: it logs the backends it picked once it
  // has made them.
  std::unique_ptr<LiveProcess> startBridge() {
    auto bridge = std::make_unique<LiveProcess>(
        std::vector<std::string>{"listen", "hold-key", "none"}, scratch_.env());
    EXPECT_TRUE(eventually(
        [&] { return landingLog().find(" backends wayland ") != std::string::npos; }, 10s))
        << "the bridge never picked its backends: " << bridge->err();
    return bridge;
  }
  nlohmann::json waitFor(LiveProcess& bridge, const std::string& kind) {
    nlohmann::json found;
    bridge.waitForLine(
        [&](const std::string& line) {
          auto json = nlohmann::json::parse(line, nullptr, false);
          if (json.is_object() && json.value("kind", "") == kind) found = json;
          return !found.is_null();
        },
        5s);
    return found;
  }
  std::string landingLog() const {
    return fileText(scratch_.dataHome() / "com.quorvel.vesk" / "landing.log");
  }

  Scratch scratch_;
};

class SwayLaneHoldKey : public WaylandHoldKey {
 protected:
  void SetUp() override {
    if (!inWaylandLane("sway")) GTEST_SKIP() << "runs inside tests/services/wayland-session.sh sway";
    WaylandHoldKey::SetUp();
  }
};

class MutterLaneHoldKey : public WaylandHoldKey {
 protected:
  void SetUp() override {
    if (!inWaylandLane("mutter")) GTEST_SKIP() << "runs inside wayland-session.sh mutter";
    WaylandHoldKey::SetUp();
  }
};

TEST_F(SwayLaneHoldKey, LandsThroughTheVirtualKeyboardAndPutsTheClipboardBack) {
  BackgroundProgram owner("wl-copy", {"--foreground", "--type", "text/plain;charset=utf-8",
                                      "the user's own"});
  eventually([] { return runTool("/usr/bin/wl-paste", {"--no-newline"}) == "the user's own"; }, 3s);
  auto window = openEntryWindow("plain");
  auto bridge = startBridge();

  bridge->write("{\"front\":null}\n");
  EXPECT_EQ(waitFor(*bridge, "front")["app"], window->pid());
  bridge->write("{\"land\":\"hello from vesk\",\"app\":" + std::to_string(window->pid()) + "}\n");
  EXPECT_EQ(waitFor(*bridge, "landed")["how"], "pasted");
  EXPECT_TRUE(window->waitForLine(
      [](const std::string& l) { return l == "changed plain 'hello from vesk'"; }, 3s))
      << joined(window->lines());
  EXPECT_EQ(runTool("/usr/bin/wl-paste", {"--no-newline"}), "the user's own");

  bridge->write("stop\n");
  EXPECT_EQ(bridge->waitExit(3s), 0);
  // The user's clipboard outlives the bridge that put it back.
  EXPECT_EQ(runTool("/usr/bin/wl-paste", {"--no-newline"}), "the user's own");
  const std::string log = landingLog();
  EXPECT_NE(log.find(" backends wayland {\"clipboard\":\"data-control\",\"front\":\"sway\","
                     "\"keys\":\"none\",\"paste\":\"virtual-keyboard\"}\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find(" missing no keyboard device under /dev/input can be read, so the hold key "
                     "is not seen: add your user to the input group and log in again\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find(" landed pasted {\"app\":\"entry-window.py\"}\n"), std::string::npos) << log;

  // Without a keyboard device the hold key cannot be watched: never "denied".
  EXPECT_EQ(runTool(VESK_BINARY, {"permission", "accessibility"}), "{\"status\":\"not-asked\"}");
}

TEST_F(SwayLaneHoldKey, APasswordFieldIsNeverTypedInto) {
  auto window = openEntryWindow("secret");
  auto bridge = startBridge();
  bridge->write("{\"land\":\"never typed\",\"app\":" + std::to_string(window->pid()) + "}\n");
  EXPECT_EQ(waitFor(*bridge, "landed")["how"], "copied");
  EXPECT_EQ(runTool("/usr/bin/wl-paste", {"--no-newline"}), "never typed");
  bridge->closeInput();
  EXPECT_EQ(bridge->waitExit(3s), 0);
  EXPECT_EQ(runTool("/usr/bin/wl-paste", {"--no-newline"}), "never typed");  // still there to paste
  EXPECT_EQ(joined(window->lines()).find("changed secret"), std::string::npos);
}

TEST_F(MutterLaneHoldKey, LandsThroughGnomesRemoteDesktopWithTheClipboardOfXwayland) {
  LiveProcess keyboard("/usr/bin/python3", {VESK_SOURCE_DIR "/tests/services/mutter-keyboard.py"},
                       {});
  ASSERT_TRUE(keyboard.waitForLine([](const std::string& l) { return l == "ready"; }, 10s))
      << keyboard.err();
  BackgroundProgram owner("sh", {"-c", "printf %s \"the user's own\" | "
                                       "exec xclip -quiet -selection clipboard >/dev/null 2>&1"});
  auto window = openEntryWindow("plain");
  auto bridge = startBridge();

  bridge->write("{\"land\":\"hello from vesk\",\"app\":" + std::to_string(window->pid()) + "}\n");
  EXPECT_EQ(waitFor(*bridge, "landed")["how"], "pasted");
  EXPECT_TRUE(window->waitForLine(
      [](const std::string& l) { return l == "changed plain 'hello from vesk'"; }, 3s))
      << joined(window->lines());
  EXPECT_EQ(runTool("/usr/bin/xclip", {"-o", "-selection", "clipboard"}), "the user's own");
  bridge->write("stop\n");
  EXPECT_EQ(bridge->waitExit(3s), 0);
  const std::string log = landingLog();
  EXPECT_NE(log.find(" backends wayland {\"clipboard\":\"x11\",\"front\":\"atspi\","
                     "\"keys\":\"none\",\"paste\":\"remote-desktop\"}\n"),
            std::string::npos)
      << log;
}

}  // namespace
