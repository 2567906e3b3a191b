// listen hold-key against the real X display (Xvfb, openbox), real GTK text fields (zenity)
// and the accessibility bus of the test services.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>

#include "support/BackgroundProgram.h"
#include "support/Eventually.h"
#include "support/Files.h"
#include "support/Heard.h"
#include "support/LiveProcess.h"
#include "support/Run.h"
#include "support/Scratch.h"
#include "support/Services.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string run(const std::string& program, const std::vector<std::string>& args,
                const std::string& input = "") {
  RunOptions options;
  options.input = input;
  options.timeoutSeconds = 10;
  return runProgram("/usr/bin/" + program, args, options).out;
}

void holdControl() {
  run("xdotool", {"keydown", "ctrl"});
  std::this_thread::sleep_for(400ms);
  run("xdotool", {"keyup", "ctrl"});
}

std::string clipboardText() { return run("xclip", {"-o", "-selection", "clipboard"}); }

// Waits until the clipboard holds the text (another program's copy, or the bridge's).
void waitForClipboard(const std::string& text) {
  eventually([&] { return clipboardText() == text; }, 3s);
}

// Waits until a hold-key run watches the keyboard: it reads its input only from then on, so its
// answer to a front request is the sign. That answer is its first line.
void waitUntilWatching(LiveProcess& process) {
  process.write("{\"front\":null}\n");
  EXPECT_TRUE(process.waitForLine([](const std::string& line) { return isKind(line, "front"); },
                                  10s))
      << "hold-key never watched the keyboard: " << process.err();
}

void setAccessibility(bool on) {
  run("busctl", {"--user", "set-property", "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Status",
                 "IsEnabled", "b", on ? "true" : "false"});
}

// A zenity dialog whose answer goes to a file, in front once the window manager says so.
class Zenity {
 public:
  Zenity(const Scratch& scratch, const std::string& kind)
      : answer_(scratch.root() / (kind + ".answer")),
        program_("sh", {"-c", "exec zenity --" + kind + " --text Dictate > " + answer_.string() +
                                  " 2>/dev/null"}) {
    const std::string self = std::to_string(pid()) + "\n";
    const bool inFront = eventually(
        [&] { return run("xdotool", {"getactivewindow", "getwindowpid"}) == self; }, 10s, 100ms);
    EXPECT_TRUE(inFront) << "zenity --" << kind << " never came in front";
    // Its accessible tree settles; nothing outside it tells when.
    std::this_thread::sleep_for(500ms);
  }
  long pid() const { return program_.pid(); }
  // Return makes zenity print the field's text and end.
  std::string answer() {
    run("xdotool", {"key", "Return"});
    eventually([&] { return !program_.running(); }, 5s, 100ms);
    return fileText(answer_);
  }

 private:
  std::filesystem::path answer_;
  BackgroundProgram program_;
};

struct HoldKey {
  Scratch scratch;
  LiveProcess process;

  explicit HoldKey(const std::string& key) : process({"listen", "hold-key", key}, scratch.env()) {
    waitUntilWatching(process);
  }
  // The event lines and their kinds after the answer that said it watches.
  nlohmann::json waitFor(const std::string& kind, std::chrono::milliseconds limit = 5s) {
    nlohmann::json found;
    process.waitForLine(
        [&](const std::string& line) {
          auto json = nlohmann::json::parse(line, nullptr, false);
          if (json.is_object() && json.value("kind", "") == kind) {
            found = json;
            return true;
          }
          return false;
        },
        limit, 1);
    return found;
  }
  std::vector<std::string> kinds() {
    std::vector<std::string> all;
    const auto lines = process.lines();
    for (auto line = lines.begin() + 1; line < lines.end(); ++line) {
      all.push_back(nlohmann::json::parse(*line).value("kind", ""));
    }
    return all;
  }
  std::filesystem::path landingLog() const {
    return scratch.dataHome() / "com.quorvel.vesk" / "landing.log";
  }
};

class HoldKeyE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    requireServices();
    setAccessibility(true);
  }
  void TearDown() override { setAccessibility(true); }
  const Scratch& scratch() const { return scratch_; }

 private:
  Scratch scratch_;
};

TEST_F(HoldKeyE2e, AHoldAndALandingIntoATextField) {
  // The user's own clipboard, served by xclip for as long as it owns it.
  BackgroundProgram owner("sh", {"-c", "printf %s \"the user's own\" | "
                                       "exec xclip -quiet -selection clipboard >/dev/null 2>&1"});
  waitForClipboard("the user's own");
  ASSERT_EQ(clipboardText(), "the user's own");
  Zenity entry(scratch(), "entry");
  HoldKey bridge("control");

  holdControl();
  auto down = bridge.waitFor("hold-down");
  EXPECT_EQ(down["app"], entry.pid());
  EXPECT_EQ(down["trusted"], true);
  EXPECT_FALSE(bridge.waitFor("hold-up").is_null());

  // A stray key during a hold.
  run("xdotool", {"keydown", "ctrl"});
  std::this_thread::sleep_for(400ms);
  run("xdotool", {"key", "a"});
  run("xdotool", {"keyup", "ctrl"});
  EXPECT_FALSE(bridge.waitFor("hold-stray").is_null());

  const auto asked = Clock::now();
  bridge.process.write("{\"land\":\"hello from vesk\",\"app\":" + std::to_string(entry.pid()) +
                       "}\n");
  auto landed = bridge.waitFor("landed");
  EXPECT_EQ(landed["how"], "pasted");
  EXPECT_GE(Clock::now() - asked, 900ms);
  EXPECT_EQ(clipboardText(), "the user's own");

  bridge.process.write("{\"front\":null}\n");
  EXPECT_EQ(bridge.waitFor("front")["app"], entry.pid());
  EXPECT_EQ(entry.answer(), "hello from vesk\n");

  bridge.process.write("{\"land\":\"left for the user\"}\n");
  waitForClipboard("left for the user");
  EXPECT_EQ(clipboardText(), "left for the user");
  bridge.process.write("{\"copy\":\"copied by request\"}\n");
  waitForClipboard("copied by request");
  EXPECT_EQ(clipboardText(), "copied by request");

  run("xdotool", {"key", "Escape"});
  EXPECT_FALSE(bridge.waitFor("esc").is_null());
  bridge.process.write("  stop \n");
  EXPECT_EQ(bridge.process.waitExit(3s), 0);
  EXPECT_EQ(bridge.kinds(), (std::vector<std::string>{"hold-down", "hold-up", "hold-down",
                                                      "hold-stray", "landed", "front", "landed",
                                                      "esc"}));
  const std::string log = fileText(bridge.landingLog());
  EXPECT_NE(log.find(" landed pasted {\"app\":\"Zenity\"}\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" landed copied {\"app\":"), std::string::npos) << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
}

TEST_F(HoldKeyE2e, APasswordFieldIsRefusedAndALostTrustIsReported) {
  Zenity password(scratch(), "password");
  HoldKey bridge("control");
  holdControl();
  EXPECT_FALSE(bridge.waitFor("hold-refused").is_null());
  // Even asked to, the bridge does not paste into it.
  bridge.process.write("{\"land\":\"never typed\",\"app\":" + std::to_string(password.pid()) +
                       "}\n");
  EXPECT_EQ(bridge.waitFor("landed")["how"], "copied");
  EXPECT_EQ(password.answer(), "\n");

  setAccessibility(false);
  EXPECT_FALSE(bridge.waitFor("access-lost", 6s).is_null());
  bridge.process.closeInput();
  EXPECT_EQ(bridge.process.waitExit(3s), 0);
  EXPECT_EQ(bridge.kinds(), (std::vector<std::string>{"hold-refused", "landed", "access-lost"}));
}

TEST_F(HoldKeyE2e, WithoutAKeyOnlyEscapeIsReported) {
  HoldKey bridge("none");
  holdControl();
  run("xdotool", {"key", "Escape"});
  EXPECT_FALSE(bridge.waitFor("esc").is_null());
  bridge.process.closeInput();
  EXPECT_EQ(bridge.process.waitExit(3s), 0);
  EXPECT_EQ(bridge.kinds(), std::vector<std::string>{"esc"});
}

// The user copies something between the paste and the putting back of their earlier clipboard:
// the newer copy stays.
TEST_F(HoldKeyE2e, ACopyMadeAfterThePasteIsNotOverwritten) {
  BackgroundProgram before("sh", {"-c", "printf %s before | exec xclip -quiet -selection clipboard >/dev/null 2>&1"});
  waitForClipboard("before");
  Zenity entry(scratch(), "entry");
  HoldKey bridge("none");
  bridge.process.write("{\"land\":\"dictated\",\"app\":" + std::to_string(entry.pid()) + "}\n");
  std::this_thread::sleep_for(400ms);  // pasted; the earlier clipboard comes back a second after
  BackgroundProgram after("sh", {"-c", "printf %s after | exec xclip -quiet -selection clipboard >/dev/null 2>&1"});
  EXPECT_EQ(bridge.waitFor("landed")["how"], "pasted");
  waitForClipboard("after");
  EXPECT_EQ(clipboardText(), "after");
  EXPECT_EQ(entry.answer(), "dictated\n");
  bridge.process.closeInput();
  EXPECT_EQ(bridge.process.waitExit(3s), 0);
}

// The X server goes away under a running hold-key: it keeps to its input, answers each landing,
// and ends with status 0 on "stop" like any other run.
TEST_F(HoldKeyE2e, TheDisplayGoingAwayEndsNothingButTheWatching) {
  const auto displayFile = scratch().root() / "display";
  BackgroundProgram xvfb("sh", {"-c", "exec Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>" +
                                          displayFile.string()});
  eventually([&] { return !fileText(displayFile).empty(); });
  std::string display = fileText(displayFile);
  ASSERT_FALSE(display.empty()) << "the private X server did not start";
  display.pop_back();
  auto env = scratch().env();
  env["DISPLAY"] = ":" + display;
  LiveProcess process({"listen", "hold-key", "control"}, env);
  waitUntilWatching(process);
  kill(xvfb.pid(), SIGKILL);
  // Time for the watching to see the display gone, which it does without a word.
  std::this_thread::sleep_for(500ms);
  process.write("{\"land\":\"nowhere to go\"}\n");
  process.write("{\"front\":null}\n");
  process.write("{\"land\":\"into an app\",\"app\":" + std::to_string(getpid()) + "}\n");
  process.write("{\"copy\":\"copied\"}\n");
  process.write("stop\n");
  EXPECT_EQ(process.waitExit(4s), 0) << process.err();
  EXPECT_EQ(process.err(), "");
  // With no display there is no front app, no paste and no trust (lost at the next poll).
  std::vector<std::string> answers;
  const auto lines = process.lines();
  ASSERT_FALSE(lines.empty());
  for (auto line = lines.begin() + 1; line < lines.end(); ++line) {  // past the sign it watched
    if (*line != R"({"kind":"access-lost"})") answers.push_back(*line);
  }
  EXPECT_EQ(answers, (std::vector<std::string>{R"({"kind":"landed","how":"copied"})",
                                               R"({"kind":"front","app":null})",
                                               R"({"kind":"landed","how":"copied"})"}));
}

}  // namespace
