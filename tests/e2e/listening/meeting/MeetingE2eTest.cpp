// listen meeting against the real sound server (the virtual microphone and the default output's
// monitor) and real PocketSphinx.
#include <gtest/gtest.h>
#include <signal.h>

#include <cctype>
#include <chrono>
#include <fstream>
#include <random>
#include <regex>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "support/Files.h"
#include "support/BackgroundProgram.h"
#include "support/Eventually.h"
#include "support/FullFileSystem.h"
#include "support/Heard.h"
#include "support/LiveProcess.h"
#include "support/PrivateSoundServer.h"
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

// The text spoken into a wav file named after the sink it is for.
std::string speech(const Scratch& scratch, const std::string& sink, const std::string& text) {
  const std::string file = (scratch.root() / (sink + ".wav")).string();
  RunResult made = runProgram("/usr/bin/flite", {"-voice", "kal16", "-t", text, "-o", file});
  EXPECT_EQ(made.status, 0) << made.err;
  return file;
}

// Speaks the text into a sink of the test services: "micfeed" is heard by the microphone,
// "speakers" is the default output.
void play(const Scratch& scratch, const std::string& sink, const std::string& text) {
  RunResult played = runProgram("/usr/bin/paplay", {"--device=" + sink, speech(scratch, sink, text)});
  ASSERT_EQ(played.status, 0) << played.err;
}

// The records of a transcript's text; every line must be one whole JSON object ended by "\n".
std::vector<json> wholeRecords(const std::string& text) {
  std::vector<json> records;
  EXPECT_TRUE(text.empty() || text.back() == '\n') << "a torn last line: " << text;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    json record = json::parse(line, nullptr, false);
    EXPECT_TRUE(record.is_object()) << "not a whole record: " << line;
    records.push_back(record);
  }
  return records;
}

// The records announced as "line" events, without their kind.
std::vector<json> announced(LiveProcess& process) {
  std::vector<json> records;
  for (const auto& line : process.lines()) {
    if (!isKind(line, "line")) continue;
    json record = json::parse(line);
    record.erase("kind");
    records.push_back(record);
  }
  return records;
}

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
  std::vector<json> transcript() { return wholeRecords(fileText(meetings() / (ID + ".jsonl"))); }
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
  EXPECT_GE(wordsHeard("the meeting starts at 10", shown["them"]), 2) << shown["them"];
  // Written text: no phrase opens in lowercase, each ends with its mark.
  for (const auto& line : lines) {
    const std::string text = line["text"];
    EXPECT_TRUE(!std::islower(static_cast<unsigned char>(text.front())) && (text.back() == '.' || text.back() == '?'))
        << text;
  }
  EXPECT_EQ(said(transcript()), shown);
  const std::string logText = fileText(meetings() / (ID + ".log"));
  EXPECT_NE(logText.find(R"( them started {"channels":2,"excludesCurrentProcessAudio":true,"sampleRate":48000,"sink":{"description":"Speakers","name":"speakers"}})"),
            std::string::npos)
      << logText;
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
  PrivateSoundServer server(scratch, {.modules = {"module-null-source source_name=mic"}});
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
  eventually([&] { return std::filesystem::exists(scratch.root() / "system_bus"); });
  BackgroundProgram logind("/usr/bin/python3", {"-m", "dbusmock", "--system", "--template", "logind"}, onBus);
  const std::vector<std::string> manager = {"--system", "-d", "org.freedesktop.login1", "-o",
                                            "/org/freedesktop/login1"};
  auto gdbus = [&](std::vector<std::string> args) {
    args.insert(args.begin() + 1, manager.begin(), manager.end());
    return runProgram("/usr/bin/gdbus", args, onBus).status;
  };
  eventually([&] { return gdbus({"introspect"}) == 0; }, 10s, 100ms);

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
  PrivateSoundServer server(
      scratch, {.modules = {"module-null-source source_name=mic", "module-null-sink sink_name=out"}});
  auto env = scratch.env();
  env["PULSE_SERVER"] = server.address();
  LiveProcess process({"listen", "meeting", "both"}, env);
  process.write(R"({"id":")" + ID + "\"}\n");
  ASSERT_TRUE(waitFor(process, R"({"kind":"listening","me":true,"them":true})")) << process.err();
  ASSERT_EQ(server.pactl({"unload-module", server.moduleOf("module-null-sink")}).status, 0);
  ASSERT_TRUE(waitFor(process, R"({"kind":"listening","me":true,"them":false})", 5s));
  ASSERT_TRUE(waitFor(process, "Couldn\u2019t hear the Mac\u2019s sound: Entity killed (12)", 5s));
  process.write("stop\n");
  EXPECT_EQ(process.waitExit(10s), 0) << process.err();
}

// SIGKILL at random moments while both sides speak: each time the transcript holds only whole
// records, and every record announced as a line before the kill.
TEST_F(MeetingE2eTest, KilledAtAnyMomentTheTranscriptHoldsWholeLinesAndAllAnnounced) {
  const std::string mine = speech(scratch, "micfeed", MINE + ". " + THEIRS);
  const std::string theirs = speech(scratch, "speakers", THEIRS + ". " + MINE);
  std::mt19937 random(20261209);
  std::uniform_int_distribution<int> moment(300, 4500);
  std::size_t seen = 0;
  for (int trial = 0; trial < 9; ++trial) {
    const int killAfter = moment(random);
    SCOPED_TRACE("trial " + std::to_string(trial) + ", killed " + std::to_string(killAfter) +
                 " ms into the speech");
    const std::string id = "2024-05-01-09300" + std::to_string(trial);
    auto process = meeting("both", R"({"id":")" + id + R"("})");
    ASSERT_TRUE(waitFor(*process, R"({"kind":"listening","me":true,"them":true})")) << process->err();
    {
      BackgroundProgram me("paplay", {"--device=micfeed", mine});
      BackgroundProgram them("paplay", {"--device=speakers", theirs});
      std::this_thread::sleep_for(std::chrono::milliseconds(killAfter));
      process->signal(SIGKILL);
      ASSERT_EQ(process->waitExit(5s), 128 + SIGKILL);
    }
    const auto records = wholeRecords(fileText(meetings() / (id + ".jsonl")));
    for (const auto& line : announced(*process)) {
      EXPECT_NE(std::find(records.begin(), records.end(), line), records.end()) << line.dump();
      ++seen;
    }
  }
  // The kills fell among announced phrases, not only before the first.
  EXPECT_GE(seen, 4u);
}

// A data folder whose file system is full: the run log reports each lost line on standard error,
// a phrase that can't be stored is still announced, with an error; once there is room again the
// next records are whole lines after the last whole one, never after a torn one.
TEST_F(MeetingE2eTest, AFullDataFolderLosesLinesWholeAndTheMeetingGoesOn) {
  FullFileSystem disk(scratch.root() / "data");
  if (!disk.refused().empty()) GTEST_SKIP() << disk.refused();
  const auto folder = disk.root() / "com.quorvel.vesk/meetings";
  std::filesystem::create_directories(folder);
  // Earlier lines end a few bytes short of a block, so the next line is cut at the block's end.
  const std::string earlier = R"({"who":"me","at":"x","text":")";
  const std::string filled = earlier + std::string(8192 - 20 - earlier.size() - 3, 'a') + "\"}\n";
  std::ofstream(folder / (ID + ".jsonl")) << filled;
  const std::string logged = "2024-05-01T09:00:00.000Z meeting " + std::string(4096 - 10 - 42, 'a') + "\n";
  std::ofstream(folder / (ID + ".log")) << logged;
  disk.fill();

  auto env = scratch.env();
  env["XDG_DATA_HOME"] = disk.root().string();
  LiveProcess process({"listen", "meeting", "mic"}, env);
  process.write(R"({"id":")" + ID + "\"}\n");
  ASSERT_TRUE(waitFor(process, R"({"kind":"listening","me":true,"them":false})")) << process.err();
  play(scratch, "micfeed", MINE);
  ASSERT_TRUE(waitFor(process, R"({"kind":"error","message":"Couldn’t write the transcript: No space left on device"})", 10s))
      << process.err();
  ASSERT_TRUE(waitFor(process, R"({"kind":"line")", 5s));
  disk.makeRoom();
  const std::size_t before = announced(process).size();
  play(scratch, "micfeed", MINE);
  ASSERT_TRUE(process.waitForLine([&](const std::string&) { return announced(process).size() > before; }, 10s));
  process.write("stop\n");
  ASSERT_EQ(process.waitExit(10s), 0) << process.err();
  EXPECT_EQ(process.lines().back(), R"({"kind":"done"})");
  EXPECT_NE(process.err().find("vesk-native: couldn’t write the run’s log: write " +
                               (folder / (ID + ".log")).string() + ": No space left on device\n"),
            std::string::npos)
      << process.err();

  const std::string text = fileText(folder / (ID + ".jsonl"));
  ASSERT_EQ(text.substr(0, filled.size()), filled);
  const auto records = wholeRecords(text.substr(filled.size()));
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back(), announced(process).back());
  const std::string log = fileText(folder / (ID + ".log"));
  ASSERT_EQ(log.substr(0, logged.size()), logged);
  std::istringstream lines(log.substr(logged.size()));
  const std::regex logLine(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z meeting .*)");
  for (std::string line; std::getline(lines, line);) EXPECT_TRUE(std::regex_match(line, logLine)) << line;
  EXPECT_EQ(log.back(), '\n');
}

// Without headphones: the computer's speakers leak into the microphone, at half their level and
// 60 ms late (a loopback from the default output's monitor into what the microphone hears). The
// other side's voice comes back only as theirs, from its first word (the server's times are
// furthest off then), the user's sentence after it as "me", and the user's sentence spoken over
// theirs as "me" with at least half its words.
TEST_F(MeetingE2eTest, TheOtherSidesEchoIsTakenOutOfTheMicrophone) {
  PrivateSoundServer server(scratch, {.modules = {"module-null-sink sink_name=speakers",
                                                  "module-null-sink sink_name=micfeed",
                                                  "module-remap-source source_name=mic master=micfeed.monitor",
                                                  "module-loopback source=speakers.monitor sink=micfeed "
                                                  "latency_msec=60 source_dont_move=1 sink_dont_move=1"},
                                      .defaultSource = "mic"});
  server.setDefaultSink("speakers");
  std::istringstream inputs(server.pactl({"list", "short", "sink-inputs"}).out);
  std::string loopback;
  ASSERT_TRUE(inputs >> loopback);
  ASSERT_EQ(server.pactl({"set-sink-input-volume", loopback, "-6dB"}).status, 0);
  const std::string theirs = "you should send the report to the manager by friday";
  const std::string mine = "please call me back this afternoon";
  // Two voices, as on a call: theirs a woman's, the user's a man's (12.7 dB quieter), both brought
  // to about -24 dBFS, as a call's and a user's close to the microphone are.
  const auto spoken = [&](const std::string& name, const std::string& voice, const std::string& text,
                          const std::string& gain) {
    const std::string raw = (scratch.root() / (name + "-raw.wav")).string();
    const std::string file = (scratch.root() / (name + ".wav")).string();
    EXPECT_EQ(runProgram("/usr/bin/flite", {"-voice", voice, "-t", text, "-o", raw}).status, 0);
    EXPECT_EQ(runProgram("/usr/bin/sox", {raw, file, "gain", gain}).status, 0);
    return file;
  };
  const std::string theirFile = spoken("theirs", "slt", theirs, "-8.9");
  const std::string myFile = spoken("mine", "kal16", mine, "3.8");

  auto env = scratch.env();
  env["PULSE_SERVER"] = server.address();
  LiveProcess process({"listen", "meeting", "both"}, env);
  process.write(R"({"id":")" + ID + "\"}\n");
  ASSERT_TRUE(waitFor(process, R"({"kind":"listening","me":true,"them":true})")) << process.err();
  const auto play = [&](const std::string& sink, const std::string& file) {
    return std::make_unique<BackgroundProgram>("paplay", std::vector<std::string>{"--device=" + sink, file},
                                               server.clientOptions());
  };
  // Each phase waits until its player is done, and its last lines are out.
  const auto settle = [&](BackgroundProgram& player) {
    eventually([&] { return !player.running(); }, 20s, 50ms);
    std::this_thread::sleep_for(2500ms);
  };
  const auto saidNow = [&] { return said(announced(process)); };

  settle(*play("speakers", theirFile));
  auto heard = saidNow();
  EXPECT_GE(wordsHeard(theirs, heard["them"]), 5) << heard["them"];
  EXPECT_EQ(heard["me"], "") << process.err();

  settle(*play("micfeed", myFile));
  EXPECT_GE(wordsHeard(mine, saidNow()["me"]), 4) << saidNow()["me"];
  // Then both at once, as the other side's output starts again after a silence.
  const std::size_t before = announced(process).size();
  {
    const auto them = play("speakers", theirFile);
    const auto me = play("micfeed", myFile);
    settle(*them);
  }
  const auto lines = announced(process);
  const std::string over = said({lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end()})["me"];
  EXPECT_GE(wordsHeard(mine, over), 3) << over;
  process.write("stop\n");
  EXPECT_EQ(process.waitExit(10s), 0) << process.err();
}
