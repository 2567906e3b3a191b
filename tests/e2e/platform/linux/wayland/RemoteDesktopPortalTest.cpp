// The paste through the desktop portal's remote desktop, against a stand-in portal on the test
// services' private bus: the real one asks the user, which no test can answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "platform/linux/wayland/RemoteDesktopInput.h"
#include "support/Eventually.h"
#include "support/LiveProcess.h"
#include "support/Run.h"
#include "support/Services.h"
#include "support/WaylandLane.h"

namespace {

using namespace std::chrono_literals;

// Ctrl+V in display key codes (kernel code + 8), on a US keyboard.
const std::vector<KeyStep> PASTE{{37, true}, {55, true}, {55, false}, {37, false}};
// What the portal takes for one paste: kernel codes.
const std::vector<std::string> PASTED{"key 29 1", "key 47 1", "key 47 0", "key 29 0"};
const std::vector<std::string> WAKE{"key 42 1", "key 42 0"};
// The opening of a session, up to the consent.
const std::vector<std::string> ASKED{"CreateSession",
                                     "SelectDevices types=1 persist_mode=- restore_token=-", "Start"};

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
    eventually([&] { return calls().size() >= count; }, 5s, 10ms);
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
  const auto expected = joined({ASKED, WAKE, PASTED, PASTED});
  EXPECT_EQ(portal.calls(expected.size()), expected);
}

// The user's one answer stands for the run: a refusal (or a consent without the keyboard), or
// silence until the limit, is never asked again, and ends in a failed paste rather than a wait.
TEST(RemoteDesktopPortalE2e, ARefusedOrUnansweredConsentFailsThePasteAndIsNotAskedAgain) {
  requireServices();
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> calls;
  };
  const std::vector<Case> cases{
      {{"--consent", "deny"}, joined({ASKED, {"close session"}})},
      {{"--devices", "0"}, joined({ASKED, {"close session"}})},
      {{"--consent", "never"}, joined({ASKED, {"close request", "close session"}})},
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
  const std::vector<std::string> ended{"dropped", "close session"};
  const std::vector<Case> cases{
      {"1", false, joined({ASKED, WAKE, ended})},
      {"2", true,
       joined({{"CreateSession", "SelectDevices types=1 persist_mode=1 restore_token=-", "Start"},
               WAKE, ended,
               {"CreateSession", "SelectDevices types=1 persist_mode=1 restore_token=token1",
                "Start"},
               WAKE, PASTED})},
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

// Where both run (GNOME), the portal comes first, and its refusal is not got round through
// mutter's own service.
TEST(MutterLanePortal, ThePortalComesFirstAndItsRefusalStands) {
  if (!inWaylandLane("mutter")) GTEST_SKIP() << "runs inside the headless mutter session";
  struct Case {
    std::string consent;
    bool posted;
    std::vector<std::string> calls;
  };
  const std::vector<Case> cases{
      {"grant", true, joined({ASKED, WAKE, PASTED, PASTED})},
      {"deny", false, joined({ASKED, {"close session"}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.consent);
    FakePortal portal({"--consent", c.consent});
    RemoteDesktopInput input(shortTimings());
    EXPECT_EQ(input.post(PASTE), c.posted);
    EXPECT_EQ(input.post(PASTE), c.posted);
    EXPECT_EQ(portal.calls(c.calls.size()), c.calls);
  }
}
