// The sound server failing under a meeting and a dictation that capture from it: killed, hung
// (SIGSTOP), or the microphone in use taken away. Each runs on a private server, since the test
// services' one is shared by every test.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "support/Heard.h"
#include "support/LiveProcess.h"
#include "support/PrivateSoundServer.h"
#include "support/Scratch.h"
#include "support/Services.h"

using namespace std::chrono_literals;

// Whatever the server does, a run ends in time and nothing crashes on the way: "stop" ends it
// with "done" and status 0, unless it ended first as it does without a microphone (a meeting
// whose start fails; a hold dictation whose microphone falls silent).
TEST(SoundServerFaultsE2e, EveryRunEndsInTimeWhateverTheServerDid) {
  requireServices();
  enum class Strike { Kill, Hang, RemoveMicrophone };
  struct Case {
    std::string name;
    std::vector<std::string> args;
    std::string first;  // the first line written to it
    Strike strike;
    bool atStart;  // struck once its speech model is ready, before its microphone starts
    std::chrono::milliseconds limit;  // from "stop" (or the strike, when it ends by itself) to the exit
    int status;  // other than 0: it ends by itself, unasked
    std::string err;
    bool done;  // its last line is "done"
  };
  const std::vector<std::string> meeting = {"listen", "meeting", "both"};
  const std::vector<std::string> dictation = {"listen", "dictate", "hold"};
  const std::string id = R"({"id":"2024-05-01-093000"})" "\n";
  // The teardown's watchdog ends a meeting 5 s after its ending began; a dictation's stop drains
  // for a second; a silent hold microphone is restarted after a second and given up a second later.
  const std::vector<Case> cases = {
      {"meeting, server killed", meeting, id, Strike::Kill, false, 6500ms, 0, "", true},
      {"meeting, server hung", meeting, id, Strike::Hang, false, 6500ms, 0, "", true},
      {"meeting, microphone removed", meeting, id, Strike::RemoveMicrophone, false, 6500ms, 0, "", true},
      {"meeting, server hung while it starts", meeting, id, Strike::Hang, true, 6500ms, 0, "", true},
      // A start that fails: an error line, "done" and status 1.
      {"meeting, server killed while it starts", meeting, id, Strike::Kill, true, 6500ms, 1, "", true},
      {"dictation, server killed", dictation, "", Strike::Kill, false, 3000ms, 1, "Couldn't hear the microphone.", false},
      {"dictation, server hung", dictation, "", Strike::Hang, false, 2500ms, 0, "", true},
      {"dictation, microphone removed", dictation, "", Strike::RemoveMicrophone, false, 2500ms, 0, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scratch scratch;
    PrivateSoundServer server(scratch,
                              {.modules = {"module-null-sink sink_name=feed",
                                           "module-remap-source source_name=mic master=feed.monitor",
                                           "module-null-sink sink_name=out"},
                               .defaultSource = "mic"});
    server.setDefaultSink("out");
    auto env = scratch.env();
    env["PULSE_SERVER"] = server.address();
    LiveProcess process(c.args, env);
    process.write(c.first);
    const std::string awaited = c.atStart ? "ready" : "listening";
    ASSERT_TRUE(process.waitForLine([&](const std::string& line) { return isKind(line, awaited); }, 15s))
        << process.err();
    if (c.strike == Strike::Kill) kill(server.pid(), SIGKILL);
    if (c.strike == Strike::Hang) kill(server.pid(), SIGSTOP);
    if (c.strike == Strike::RemoveMicrophone) {
      EXPECT_EQ(server.pactl({"unload-module", server.moduleOf("source_name=mic")}).status, 0);
    }
    if (c.status == 0) {
      std::this_thread::sleep_for(500ms);
      process.write("stop\n");
    }
    const auto began = std::chrono::steady_clock::now();
    const int status = process.waitExit(10s);
    EXPECT_LT(std::chrono::steady_clock::now() - began, c.limit);
    kill(server.pid(), SIGCONT);
    EXPECT_EQ(status, c.status) << process.err();
    EXPECT_EQ(process.err(), c.err);
    ASSERT_FALSE(process.lines().empty());
    EXPECT_EQ(process.lines().back() == R"({"kind":"done"})", c.done) << process.lines().back();
  }
}
