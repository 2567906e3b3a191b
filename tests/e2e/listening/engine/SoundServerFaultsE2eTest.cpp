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

namespace {

// The module that loaded the device, by a word of its line in "pactl list short modules".
std::string moduleOf(PrivateSoundServer& server, const std::string& word) {
  std::istringstream rows(server.pactl({"list", "short", "modules"}).out);
  for (std::string row; std::getline(rows, row);) {
    if (row.find(word) != std::string::npos) return row.substr(0, row.find('\t'));
  }
  return "";
}

}  // namespace

// Whatever the server does, "stop" still ends the run in time with "done" and status 0, and
// nothing crashes on the way; except that a hold dictation whose microphone falls silent ends by
// itself, as it does when no sound comes.
TEST(SoundServerFaultsE2e, EveryRunEndsInTimeWhateverTheServerDid) {
  requireServices();
  enum class Strike { Kill, Hang, RemoveMicrophone };
  struct Case {
    std::string name;
    std::vector<std::string> args;
    std::string first;  // the first line written to it
    Strike strike;
    std::chrono::milliseconds limit;  // from "stop" (or the strike, when it ends by itself) to the exit
    bool endsItself = false;
  };
  const std::vector<std::string> meeting = {"listen", "meeting", "both"};
  const std::vector<std::string> dictation = {"listen", "dictate", "hold"};
  const std::string id = R"({"id":"2024-05-01-093000"})" "\n";
  // The teardown's watchdog ends a meeting 5 s after its ending began; a dictation's stop drains
  // for a second; a silent hold microphone is restarted after a second and given up a second later.
  const std::vector<Case> cases = {
      {"meeting, server killed", meeting, id, Strike::Kill, 6500ms},
      {"meeting, server hung", meeting, id, Strike::Hang, 6500ms},
      {"meeting, microphone removed", meeting, id, Strike::RemoveMicrophone, 6500ms},
      {"dictation, server killed", dictation, "", Strike::Kill, 3000ms, true},
      {"dictation, server hung", dictation, "", Strike::Hang, 2500ms},
      {"dictation, microphone removed", dictation, "", Strike::RemoveMicrophone, 2500ms},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scratch scratch;
    PrivateSoundServer server(scratch, {"module-null-sink sink_name=feed",
                                        "module-remap-source source_name=mic master=feed.monitor",
                                        "module-null-sink sink_name=out"});
    server.pactl({"set-default-source", "mic"});
    server.setDefaultSink("out");
    auto env = scratch.env();
    env["PULSE_SERVER"] = server.address();
    LiveProcess process(c.args, env);
    process.write(c.first);
    ASSERT_TRUE(process.waitForLine([](const std::string& line) { return isKind(line, "listening"); }, 15s))
        << process.err();
    if (c.strike == Strike::Kill) kill(server.pid(), SIGKILL);
    if (c.strike == Strike::Hang) kill(server.pid(), SIGSTOP);
    if (c.strike == Strike::RemoveMicrophone) {
      EXPECT_EQ(server.pactl({"unload-module", moduleOf(server, "source_name=mic")}).status, 0);
    }
    if (!c.endsItself) {
      std::this_thread::sleep_for(500ms);
      process.write("stop\n");
    }
    const auto began = std::chrono::steady_clock::now();
    const int status = process.waitExit(10s);
    EXPECT_LT(std::chrono::steady_clock::now() - began, c.limit);
    kill(server.pid(), SIGCONT);
    if (c.endsItself) {
      EXPECT_EQ(status, 1);
      EXPECT_EQ(process.err(), "Couldn't hear the microphone.");
    } else {
      EXPECT_EQ(status, 0) << process.err();
      EXPECT_EQ(process.err(), "");
      ASSERT_FALSE(process.lines().empty());
      EXPECT_EQ(process.lines().back(), R"({"kind":"done"})");
    }
  }
}
