// listen meeting against the real sound server (the virtual microphone and the default output's
// monitor) and real PocketSphinx.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "support/BackgroundProgram.h"
#include "support/Heard.h"
#include "support/LiveProcess.h"
#include "support/Run.h"
#include "support/Scratch.h"
#include "support/Services.h"

using nlohmann::json;
using namespace std::chrono_literals;

namespace {

const std::string ID = "2024-05-01-093000";
// What the microphone hears, and what the computer plays.
const std::string MINE = "please call me back this afternoon";
const std::string THEIRS = "the meeting starts at ten";

// Speaks the text into a sink of the test services: "micfeed" is heard by the microphone,
// "speakers" is the default output.
void play(const Scratch& scratch, const std::string& sink, const std::string& text) {
  const std::string file = (scratch.root() / (sink + ".wav")).string();
  RunResult made = runProgram("/usr/bin/flite", {"-voice", "kal16", "-t", text, "-o", file});
  ASSERT_EQ(made.status, 0) << made.err;
  RunResult played = runProgram("/usr/bin/paplay", {"--device=" + sink, file});
  ASSERT_EQ(played.status, 0) << played.err;
}

// A private sound server with the modules given, stopped when the test ends.
class PrivateSoundServer {
 public:
  PrivateSoundServer(const std::filesystem::path& dir, const std::vector<std::string>& modules)
      : socket_((dir / "sock").string()) {
    std::filesystem::create_directories(dir);
    std::vector<std::string> args = {"pulseaudio", "-n", "--daemonize=no", "--use-pid-file=no",
                                      "--exit-idle-time=-1", "--log-target=stderr",
                                      "--load=module-native-protocol-unix auth-anonymous=1 socket=" +
                                          socket_};
    for (const auto& module : modules) args.push_back("--load=" + module);
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      std::string home = "HOME=" + dir.string(), run = "XDG_RUNTIME_DIR=" + dir.string();
      putenv(home.data());
      putenv(run.data());
      unsetenv("DBUS_SESSION_BUS_ADDRESS");
      std::vector<char*> argv;
      for (auto& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execvp("pulseaudio", argv.data());
      _exit(127);
    }
    for (int i = 0; i < 100 && !std::filesystem::exists(socket_); ++i) std::this_thread::sleep_for(50ms);
  }
  ~PrivateSoundServer() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  std::string address() const { return "unix:" + socket_; }

 private:
  std::string socket_;
  pid_t pid_ = -1;
};

class MeetingE2eTest : public ::testing::Test {
 protected:
  void SetUp() override { requireServices(); }

  std::filesystem::path meetings() const { return scratch.dataHome() / "com.quorvel.vesk/meetings"; }

  std::unique_ptr<LiveProcess> meeting(const std::string& mode, const std::string& first) {
    auto process = std::make_unique<LiveProcess>(std::vector<std::string>{"listen", "meeting", mode},
                                                 scratch.env());
    process->write(first + "\n");
    return process;
  }
  bool waitFor(LiveProcess& process, const std::string& text, std::chrono::milliseconds limit = 15s) {
    return process.waitForLine(
        [&text](const std::string& line) { return line.find(text) != std::string::npos; }, limit);
  }
  // The transcript's records; every line must be one whole JSON object.
  std::vector<json> transcript() {
    std::vector<json> records;
    std::ifstream file(meetings() / (ID + ".jsonl"));
    for (std::string line; std::getline(file, line);) {
      json record = json::parse(line, nullptr, false);
      EXPECT_TRUE(record.is_object()) << line;
      records.push_back(record);
    }
    return records;
  }
  // Everything each side said, from the lines or the records.
  static std::map<std::string, std::string> said(const std::vector<json>& items) {
    std::map<std::string, std::string> words;
    for (const auto& item : items) {
      if (item.contains("who")) words[item["who"]] += item["text"].get<std::string>() + " ";
    }
    return words;
  }

  Scratch scratch;
};

}  // namespace

TEST_F(MeetingE2eTest, BothSidesAreHeardAndStopEndsWithDone) {
  auto process = meeting("both", R"({"id":")" + ID + R"("})");
  ASSERT_TRUE(waitFor(*process, R"({"kind":"listening","me":true,"them":true})")) << process->err();
  // Each side twice: a fresh recogniser often mishears the first words it gets.
  for (int turn = 0; turn < 2; ++turn) {
    play(scratch, "micfeed", MINE);
    play(scratch, "speakers", THEIRS);
  }
  // The last phrase played is theirs: once it is a line, every phrase has settled.
  ASSERT_TRUE(process->waitForLine(
      [](const std::string& line) {
        return isKind(line, "line") && line.find(R"("who":"them")") != std::string::npos;
      },
      10s));
  std::this_thread::sleep_for(1s);
  process->write("stop\n");
  ASSERT_EQ(process->waitExit(10s), 0) << process->err();

  std::vector<json> lines;
  for (const auto& line : process->lines()) {
    if (isKind(line, "line")) lines.push_back(json::parse(line));
  }
  std::vector<std::string> all;
  for (const auto& line : process->lines()) {
    if (!isKind(line, "level")) all.push_back(line);
  }
  EXPECT_EQ(all.front(), R"({"kind":"ready"})");
  EXPECT_EQ(all.back(), R"({"kind":"done"})");
  EXPECT_NE(std::find(all.begin(), all.end(), R"({"kind":"stopped","reason":"asked"})"), all.end());
  auto shown = said(lines);
  EXPECT_GE(wordsHeard(MINE, shown["me"]), 2) << shown["me"] << "\n" << process->err();
  EXPECT_GE(wordsHeard(THEIRS, shown["them"]), 2) << shown["them"];
  EXPECT_EQ(said(transcript()), shown);
  std::ifstream log(meetings() / (ID + ".log"));
  std::stringstream logText;
  logText << log.rdbuf();
  EXPECT_NE(logText.str().find(R"( them started {"channels":2,"excludesCurrentProcessAudio":true,"sampleRate":48000,"sink":{"description":"Speakers","name":"speakers"}})"),
            std::string::npos)
      << logText.str();
}

// A resumed "mic" meeting: the pause record comes first, "hear-them" brings the other side in,
// and SIGINT ends silently with every settled phrase on disk.
TEST_F(MeetingE2eTest, AResumedMeetingHearsThemOnRequestAndEndsSilentlyOnSigint) {
  std::filesystem::create_directories(meetings());
  std::ofstream(meetings() / (ID + ".jsonl")) << R"({"who":"me","at":"x","text":"earlier"})" << "\n";
  auto process = meeting("mic", R"({"id":")" + ID + R"(","pausedFrom":"2024-05-01T09:45:00Z"})");
  ASSERT_TRUE(waitFor(*process, R"({"kind":"listening","me":true,"them":false})")) << process->err();
  process->write("hear-them\n");
  ASSERT_TRUE(waitFor(*process, R"({"kind":"listening","me":true,"them":true})")) << process->err();
  play(scratch, "micfeed", MINE);
  ASSERT_TRUE(waitFor(*process, R"({"kind":"line")", 10s));
  process->signal(SIGINT);
  ASSERT_EQ(process->waitExit(10s), 0) << process->err();
  for (const auto& line : process->lines()) {
    EXPECT_FALSE(isKind(line, "stopped") || isKind(line, "done")) << line;
  }
  std::vector<json> shown;
  for (const auto& line : process->lines()) {
    if (isKind(line, "line")) shown.push_back(json::parse(line));
  }
  const auto records = transcript();
  ASSERT_GE(records.size(), 3u);
  EXPECT_EQ(records[0]["text"], "earlier");
  EXPECT_EQ(records[1]["pause"]["from"], "2024-05-01T09:45:00Z");
  EXPECT_EQ(said({records.begin() + 2, records.end()}), said(shown));
}

// Every phrase announced as a line is already on stable storage: a kill right after it finds it.
TEST_F(MeetingE2eTest, APhraseShownIsOnDiskWhenTheProcessIsKilled) {
  auto process = meeting("mic", R"({"id":")" + ID + R"("})");
  ASSERT_TRUE(waitFor(*process, R"({"kind":"listening")")) << process->err();
  play(scratch, "micfeed", MINE);
  ASSERT_TRUE(waitFor(*process, R"({"kind":"line")", 10s));
  process->signal(SIGKILL);
  process->waitExit(5s);
  json shown;
  for (const auto& line : process->lines()) {
    if (isKind(line, "line")) shown = json::parse(line);
  }
  const auto records = transcript();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back()["text"], shown["text"]);
}

TEST_F(MeetingE2eTest, BadStartsEndWithTheirStatus) {
  for (const std::string& first : {std::string("not json"), std::string(R"({"id":"2024-05-01"})")}) {
    RunOptions options;
    options.env = scratch.env();
    options.input = first + "\n";
    RunResult result = runVesk({"listen", "meeting", "mic"}, options);
    EXPECT_EQ(result.status, 64) << first;
    EXPECT_EQ(result.out, "");
  }

  // A sound server with a microphone and no output at all.
  PrivateSoundServer server(scratch.root() / "no-output", {"module-null-source source_name=mic"});
  RunOptions options;
  options.env = scratch.env();
  options.env["PULSE_SERVER"] = server.address();
  options.input = R"({"id":")" + ID + "\"}\n";
  RunResult both = runVesk({"listen", "meeting", "both"}, options);
  EXPECT_EQ(both.status, 2) << both.err;
  EXPECT_EQ(both.err,
            "Screen & System Audio access denied. Allow Vesk in System Settings \u2192 Privacy & "
            "Security \u2192 Screen & System Audio Recording.");
}

// The login manager, emulated on a private system bus, announces sleep: the meeting stops.
TEST_F(MeetingE2eTest, SleepStopsTheMeeting) {
  const std::string address = "unix:path=" + (scratch.root() / "system_bus").string();
  BackgroundProgram bus("dbus-daemon", {"--session", "--nofork", "--address=" + address});
  RunOptions onBus;
  onBus.env["DBUS_SYSTEM_BUS_ADDRESS"] = address;
  onBus.timeoutSeconds = 5;
  for (int i = 0; i < 100 && !std::filesystem::exists(scratch.root() / "system_bus"); ++i) {
    std::this_thread::sleep_for(50ms);
  }
  BackgroundProgram logind("/usr/bin/python3", {"-m", "dbusmock", "--system", "--template", "logind"}, onBus);
  const std::vector<std::string> manager = {"--system", "-d", "org.freedesktop.login1", "-o",
                                            "/org/freedesktop/login1"};
  auto gdbus = [&](std::vector<std::string> args) {
    args.insert(args.begin() + 1, manager.begin(), manager.end());
    return runProgram("/usr/bin/gdbus", args, onBus).status;
  };
  for (int i = 0; i < 100 && gdbus({"introspect"}) != 0; ++i) std::this_thread::sleep_for(100ms);

  auto env = scratch.env();
  env["DBUS_SYSTEM_BUS_ADDRESS"] = address;
  LiveProcess process({"listen", "meeting", "mic"}, env);
  process.write(R"({"id":")" + ID + "\"}\n");
  ASSERT_TRUE(waitFor(process, R"({"kind":"listening")")) << process.err();
  // The meeting subscribes as it starts: the word is said until it is heard.
  bool stopped = false;
  for (int i = 0; i < 20 && !stopped; ++i) {
    EXPECT_EQ(gdbus({"call", "-m", "org.freedesktop.DBus.Mock.EmitSignal",
                     "org.freedesktop.login1.Manager", "PrepareForSleep", "b", "[<true>]"}),
              0);
    stopped = waitFor(process, R"({"kind":"stopped","reason":"sleep"})", 250ms);
  }
  EXPECT_TRUE(stopped);
  EXPECT_EQ(process.waitExit(10s), 0) << process.err();
  EXPECT_EQ(process.lines().back(), R"({"kind":"done"})");
}

// The output whose monitor is heard goes away: the other side ends by itself, and the meeting
// goes on with the microphone.
TEST_F(MeetingE2eTest, AnOutputThatGoesAwayEndsTheOtherSide) {
  PrivateSoundServer server(scratch.root() / "server", {"module-null-source source_name=mic",
                                                        "module-null-sink sink_name=out"});
  auto env = scratch.env();
  env["PULSE_SERVER"] = server.address();
  LiveProcess process({"listen", "meeting", "both"}, env);
  process.write(R"({"id":")" + ID + "\"}\n");
  ASSERT_TRUE(waitFor(process, R"({"kind":"listening","me":true,"them":true})")) << process.err();
  RunOptions onServer;
  onServer.env["PULSE_SERVER"] = server.address();
  RunResult modules = runProgram("/usr/bin/pactl", {"list", "short", "modules"}, onServer);
  std::istringstream rows(modules.out);
  std::string sinkModule;
  for (std::string row; std::getline(rows, row);) {
    if (row.find("module-null-sink") != std::string::npos) sinkModule = row.substr(0, row.find('\t'));
  }
  ASSERT_EQ(runProgram("/usr/bin/pactl", {"unload-module", sinkModule}, onServer).status, 0);
  ASSERT_TRUE(waitFor(process, R"({"kind":"listening","me":true,"them":false})", 5s));
  ASSERT_TRUE(waitFor(process, "Couldn\u2019t hear the Mac\u2019s sound: Entity killed (12)", 5s));
  process.write("stop\n");
  EXPECT_EQ(process.waitExit(10s), 0) << process.err();
}
