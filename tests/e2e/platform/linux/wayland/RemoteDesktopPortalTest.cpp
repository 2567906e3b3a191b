// The paste through the desktop portal's remote desktop, against a stand-in portal on the test
// services' private bus: the real one asks the user, which no test can answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/linux/wayland/RemoteDesktopInput.h"
#include "support/LiveProcess.h"
#include "support/Run.h"
#include "support/Services.h"

namespace {

using namespace std::chrono_literals;

// Ctrl+V in display key codes (kernel code + 8), on a US keyboard.
const std::vector<KeyStep> PASTE{{37, true}, {55, true}, {55, false}, {37, false}};
// What the portal takes for one paste: kernel codes.
const std::vector<std::string> PASTED{"key 29 1", "key 47 1", "key 47 0", "key 29 0"};
const std::vector<std::string> WAKE{"key 42 1", "key 42 0"};

RemoteDesktopTimings shortTimings() {
  RemoteDesktopTimings timings;
  timings.callLimit = 2s;
  timings.consentLimit = 300ms;
  timings.wakeSettle = 10ms;
  return timings;
}

class FakePortal {
 public:
  explicit FakePortal(const std::vector<std::string>& args)
      : process_("/usr/bin/python3", withScript(args), {}) {
    EXPECT_TRUE(process_.waitForLine([](const std::string& l) { return l == "ready"; }, 10s))
        << process_.err();
  }
  // What it took, after "ready".
  std::vector<std::string> calls() {
    auto lines = process_.lines();
    lines.erase(lines.begin(), std::find(lines.begin(), lines.end(), "ready") + 1);
    return lines;
  }
  // What it took once it printed at least `count` lines (its output comes in on its own).
  std::vector<std::string> calls(std::size_t count) {
    for (int tries = 0; tries < 500 && calls().size() < count; ++tries) {
      std::this_thread::sleep_for(10ms);
    }
    return calls();
  }
  // Ends the sessions it started, as a user who stops the sharing.
  void drop() {
    process_.write("drop\n");
    EXPECT_TRUE(process_.waitForLine([](const std::string& l) { return l == "dropped"; }, 5s));
  }

 private:
  static std::vector<std::string> withScript(std::vector<std::string> args) {
    args.insert(args.begin(), VESK_SOURCE_DIR "/tests/services/fake-portal.py");
    return args;
  }
  LiveProcess process_;
};

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(RemoteDesktopPortalE2e, OneSessionStartedAtTheFirstPasteServesTheRun) {
  requireServices();
  FakePortal portal({});
  RemoteDesktopInput input(shortTimings());
  EXPECT_TRUE(input.available());
  ASSERT_TRUE(input.pasteKeys());
  EXPECT_TRUE(portal.calls().empty()) << "probing must start no session";

  EXPECT_TRUE(input.post(PASTE));
  EXPECT_TRUE(input.post(PASTE));
  const auto expected = joined(
      {{"CreateSession", "SelectDevices types=1 persist_mode=- restore_token=-", "Start"}, WAKE,
       PASTED, PASTED});
  EXPECT_EQ(portal.calls(expected.size()), expected);
}

// The user's one answer stands for the run: a refusal (or a consent without the keyboard), or
// silence until the limit, is never asked again, and ends in a failed paste rather than a wait.
TEST(RemoteDesktopPortalE2e, ARefusedOrUnansweredConsentFailsThePasteAndIsNotAskedAgain) {
  requireServices();
  const std::vector<std::string> asked{"CreateSession",
                                       "SelectDevices types=1 persist_mode=- restore_token=-",
                                       "Start"};
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> calls;
  };
  const std::vector<Case> cases{
      {{"--consent", "deny"}, joined({asked, {"close session"}})},
      {{"--devices", "0"}, joined({asked, {"close session"}})},
      {{"--consent", "never"}, joined({asked, {"close request", "close session"}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    FakePortal portal(c.args);
    RemoteDesktopInput input(shortTimings());
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(input.post(PASTE));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    EXPECT_FALSE(input.post(PASTE));
    EXPECT_EQ(portal.calls(c.calls.size()), c.calls);
  }
}

// A session the user ended: where the portal can restore sessions, the next paste opens another
// with the token of the first, which asks nothing; where it cannot, that would be a second
// dialog, so the paste fails.
TEST(RemoteDesktopPortalE2e, AnEndedSessionIsReopenedOnlyWithARestoreToken) {
  requireServices();
  struct Case {
    std::string version;
    bool reopened;
    std::vector<std::string> calls;
  };
  const std::vector<Case> cases{
      {"1", false,
       {"CreateSession", "SelectDevices types=1 persist_mode=- restore_token=-", "Start",
        "key 42 1", "key 42 0", "dropped", "close session"}},
      {"2", true,
       {"CreateSession", "SelectDevices types=1 persist_mode=1 restore_token=-", "Start",
        "key 42 1", "key 42 0", "dropped", "close session", "CreateSession",
        "SelectDevices types=1 persist_mode=1 restore_token=token1", "Start", "key 42 1",
        "key 42 0", "key 29 1", "key 47 1", "key 47 0", "key 29 0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("version " + c.version);
    FakePortal portal({"--version", c.version});
    RemoteDesktopInput input(shortTimings());
    ASSERT_TRUE(input.post({}));
    portal.drop();
    EXPECT_FALSE(input.post(PASTE));
    EXPECT_EQ(input.post(PASTE), c.reopened);
    EXPECT_EQ(portal.calls(c.calls.size()), c.calls);
  }
}

// The layout is GNOME's first keyboard input source where it has one.
TEST(RemoteDesktopPortalE2e, PasteKeysFollowGnomesFirstKeyboardLayout) {
  requireServices();
  struct Case {
    std::string sources;
    unsigned kernelCode;
    char32_t types;
  };
  const std::vector<Case> cases{
      {"[('xkb', 'de')]", 21, U'z'},                        // Y and Z swap places
      {"[('ibus', 'anthy'), ('xkb', 'us+dvorak')]", 47, U'k'},  // the variant counts
      {"@a(ss) []", 21, U'y'},                              // none: the default layout
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sources);
    ASSERT_EQ(runProgram("/usr/bin/gsettings", {"set", "org.gnome.desktop.input-sources", "sources",
                                       c.sources}).status, 0);
    RemoteDesktopInput input(shortTimings());
    auto keys = input.pasteKeys();
    ASSERT_TRUE(keys);
    EXPECT_EQ(keys->typed.at(c.kernelCode + 8), c.types);
  }
  runProgram("/usr/bin/gsettings", {"reset", "org.gnome.desktop.input-sources", "sources"});
}

}  // namespace
