// listen dictate against the real sound server (its virtual microphone) and real PocketSphinx.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "support/Eventually.h"
#include "support/Files.h"
#include "support/FullFileSystem.h"
#include "support/Heard.h"
#include "support/LiveProcess.h"
#include "support/PrivateSoundServer.h"
#include "support/Run.h"
#include "support/Scratch.h"
#include "support/Wav.h"

using nlohmann::json;
using namespace std::chrono_literals;

#include "support/Services.h"

namespace {

const std::string RECORDINGS = "/usr/share/pocketsphinx/test/data/";

// Plays a 16 kHz mono 16-bit raw recording into the sink, by default the virtual microphone's
// of the test services' sound server; returns when played.
void playRaw(const std::string& file, const std::string& sink = "micfeed",
             const RunOptions& server = {}) {
  RunResult played = runProgram("/usr/bin/paplay", {"--device=" + sink, "--raw", "--rate=16000",
                                                    "--channels=1", "--format=s16le", file},
                                server);
  ASSERT_EQ(played.status, 0) << played.err;
}

void playWav(const std::string& file) {
  RunResult played = runProgram("/usr/bin/paplay", {"--device=micfeed", file});
  ASSERT_EQ(played.status, 0) << played.err;
}

std::string speak(const Scratch& scratch, const std::string& text) {
  const std::string file = (scratch.root() / "speech.wav").string();
  RunResult made = runProgram("/usr/bin/flite", {"-voice", "kal16", "-t", text, "-o", file});
  EXPECT_EQ(made.status, 0) << made.err;
  return file;
}

std::vector<json> eventsOf(LiveProcess& process, const std::string& kind) {
  std::vector<json> found;
  for (const auto& line : process.lines()) {
    if (isKind(line, kind)) found.push_back(json::parse(line));
  }
  return found;
}

std::string logOf(const Scratch& scratch) {
  return fileText(scratch.dataHome() / "com.quorvel.vesk/dictate.log");
}

// A private sound server whose default microphone is a Bluetooth headset, silent unless sound is
// played into sink "hush", beside a built-in microphone that hears sink "feed".
PrivateSoundServer headsetSoundServer(const Scratch& scratch) {
  return PrivateSoundServer(
      scratch, {.modules = {"module-null-sink sink_name=feed", "module-null-sink sink_name=hush",
                            "module-remap-source source_name=headset master=hush.monitor "
                            "source_properties=device.bus=bluetooth"},
                .defaultSource = "headset"});
}

// The test services' sound server, stopped with SIGSTOP as a hung server would be, and always
// continued again, so later tests find it working.
class HungSoundServer {
 public:
  HungSoundServer() {
    const char* dir = std::getenv("VESK_SERVICES_DIR");
    EXPECT_NE(dir, nullptr);
    RunResult found = runProgram("/usr/bin/pgrep", {"-f", std::string(dir ? dir : "") + "/pulse.sock"});
    pid_ = std::atoi(found.out.c_str());
    EXPECT_GT(pid_, 0) << found.out << found.err;
  }
  ~HungSoundServer() { resume(); }
  void hang() {
    if (pid_ > 0) kill(pid_, SIGSTOP);
  }
  void resume() {
    if (pid_ > 0) kill(pid_, SIGCONT);
  }

 private:
  pid_t pid_ = 0;
};

class DictateE2eTest : public ::testing::Test {
 protected:
  void SetUp() override { requireServices(); }

  std::unique_ptr<LiveProcess> dictate(const std::string& mode,
                                       std::map<std::string, std::optional<std::string>> env = {}) {
    auto all = scratch.env();
    for (auto& [name, value] : env) all[name] = value;
    return std::make_unique<LiveProcess>(std::vector<std::string>{"listen", "dictate", mode}, all);
  }
  bool listening(LiveProcess& process) {
    return process.waitForLine([](const std::string& line) { return isKind(line, "listening"); },
                               15s);
  }

  Scratch scratch;
};

}  // namespace

TEST_F(DictateE2eTest, MicTranscribesARecordingAndEndsAfterTheQuiet) {
  auto process = dictate("mic");
  ASSERT_TRUE(listening(*process)) << process->err();
  playRaw(RECORDINGS + "goforward.raw");
  ASSERT_EQ(process->waitExit(20s), 0) << process->err();
  EXPECT_EQ(process->err(), "");

  const auto lines = process->lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), R"({"kind":"listening","me":true,"them":false})");
  EXPECT_EQ(lines.back(), R"({"kind":"done"})");
  EXPECT_FALSE(eventsOf(*process, "level").empty());
  EXPECT_FALSE(eventsOf(*process, "partial").empty());
  std::string said;
  for (const auto& line : eventsOf(*process, "line")) {
    EXPECT_EQ(line["who"], "me");
    said += line["text"].get<std::string>() + " ";
  }
  EXPECT_GE(wordsHeard("go forward 10 meters", said), 3) << said;

  const std::string log = logOf(scratch);
  EXPECT_NE(log.find(" dictate start pid="), std::string::npos) << log;
  EXPECT_NE(log.find(" quiet=1.5\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" dictate model ready\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" dictate microphone on {\"format\":\""), std::string::npos) << log;
  EXPECT_NE(log.find(" dictate stop\n"), std::string::npos) << log;
}

TEST_F(DictateE2eTest, MicKeepHandsBackTheSoundAsA16kMonoWav) {
  const std::string spoken = "please call my mother tomorrow morning";
  const std::string speech = speak(scratch, spoken);
  auto process = dictate("mic-keep");
  ASSERT_TRUE(listening(*process)) << process->err();
  const auto began = std::chrono::steady_clock::now();
  playWav(speech);
  ASSERT_EQ(process->waitExit(20s), 0) << process->err();
  const double session = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

  auto sounds = eventsOf(*process, "sound");
  ASSERT_EQ(sounds.size(), 1u);
  const auto lines = process->lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_TRUE(isKind(lines[lines.size() - 2], "sound"));
  const std::string wav = fromBase64(sounds[0]["wav"]);
  ASSERT_GT(wav.size(), 44u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(littleAt(wav, 22, 2), 1u);      // mono
  EXPECT_EQ(littleAt(wav, 24, 4), 16000u);  // 16 kHz
  EXPECT_EQ(littleAt(wav, 34, 2), 16u);     // 16-bit
  EXPECT_EQ(littleAt(wav, 40, 4), wav.size() - 44);
  // From the start of listening to the stop: the speech, then the quiet that ended it.
  const double seconds = (wav.size() - 44) / 32000.0;
  EXPECT_GT(seconds, 2.0 + 1.5);
  EXPECT_LT(seconds, session + 1.0);

  std::string said;
  for (const auto& line : eventsOf(*process, "line")) said += line["text"].get<std::string>() + " ";
  EXPECT_GE(wordsHeard(spoken, said), 4) << said;
}

TEST_F(DictateE2eTest, ANumberAndSpokenMarksAreWrittenAsAPersonWouldWriteThem) {
  const std::string speech = speak(scratch, "order twelve boxes period new paragraph thanks");
  auto process = dictate("mic");
  ASSERT_TRUE(listening(*process)) << process->err();
  // Twice: a fresh recogniser often mishears the first words it gets.
  playWav(speech);
  playWav(speech);
  ASSERT_EQ(process->waitExit(20s), 0) << process->err();
  const auto lines = eventsOf(*process, "line");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back()["text"], "Order 12 boxes.\n\nThanks");
}

TEST_F(DictateE2eTest, StopOnInputEndsKeepingWhatWasSaid) {
  auto process = dictate("hold");
  ASSERT_TRUE(listening(*process)) << process->err();
  playRaw(RECORDINGS + "goforward.raw");
  // Quiet never ends a hold dictation; its words settle into a line once the voice stops.
  EXPECT_TRUE(process->waitForLine([](const std::string& line) { return isKind(line, "line"); }, 10s));
  process->write(" \tstop \n");
  ASSERT_EQ(process->waitExit(10s), 0) << process->err();
  const auto lines = process->lines();
  EXPECT_EQ(lines.back(), R"({"kind":"done"})");
  std::string said;
  for (const auto& line : eventsOf(*process, "line")) said += line["text"].get<std::string>() + " ";
  EXPECT_GE(wordsHeard("go forward 10 meters", said), 3) << said;
  const std::string log = logOf(scratch);
  EXPECT_NE(log.find(" quiet=inf\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" dictate listening\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" dictate stop\n"), std::string::npos) << log;
}

TEST_F(DictateE2eTest, CancelAndEndOfInputEndAtOnceWithoutSound) {
  auto cancelled = dictate("hold-keep");
  ASSERT_TRUE(listening(*cancelled)) << cancelled->err();
  cancelled->write("STOP\ncancel\n");
  ASSERT_EQ(cancelled->waitExit(5s), 0) << cancelled->err();
  EXPECT_EQ(cancelled->lines().back(), R"({"kind":"done"})");
  EXPECT_TRUE(eventsOf(*cancelled, "sound").empty());
  EXPECT_NE(logOf(scratch).find(" dictate cancel\n"), std::string::npos);

  auto closed = dictate("talk");
  ASSERT_TRUE(listening(*closed)) << closed->err();
  closed->closeInput();
  ASSERT_EQ(closed->waitExit(5s), 0) << closed->err();
  EXPECT_EQ(closed->lines().back(), R"({"kind":"done"})");
}

TEST_F(DictateE2eTest, HiddenSpeechModelsFailWithStatus3) {
  for (const std::string mode : {"mic", "hold"}) {
    auto process = dictate(mode, {{"XDG_DATA_DIRS", (scratch.root() / "nothing").string()}});
    ASSERT_EQ(process->waitExit(10s), 3) << mode << process->err() << logOf(scratch)
                                         << (process->lines().empty() ? "" : process->lines().back());
    const std::string expected =
        "The speech model isn\u2019t on this Mac and couldn\u2019t be fetched: no en-US model under " +
        (scratch.root() / "nothing").string() + "; install the package pocketsphinx-en-us";
    EXPECT_EQ(process->err(), expected);
    const std::string log = logOf(scratch);
    EXPECT_NE(log.find(" dictate failed: " + expected + "\n"), std::string::npos) << log;
    EXPECT_EQ(log.substr(log.rfind(" dictate ") + 9), "failed: " + expected + "\n");
  }
}

TEST_F(DictateE2eTest, NoSoundServerMeansNoMicrophoneAccess) {
  auto env = scratch.env();
  env["PULSE_SERVER"] = "unix:" + (scratch.root() / "no-server").string();
  RunResult r = runVesk({"listen", "dictate", "mic"}, {.input = "", .env = env});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "Microphone access denied. Allow Vesk in System Settings \u2192 Privacy & Security "
            "\u2192 Microphone.");
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(std::filesystem::exists(scratch.dataHome() / "com.quorvel.vesk/dictate.log"));
}

TEST_F(DictateE2eTest, TheMicrophoneFollowsTheDefaultSourceWhenItsOwnGoesAway) {
  // A second microphone on the same feed, made the default while the dictation starts.
  RunResult loaded = runProgram("/usr/bin/pactl", {"load-module", "module-remap-source",
                                                   "source_name=othermic", "master=micfeed.monitor"});
  ASSERT_EQ(loaded.status, 0) << loaded.err;
  const std::string module = loaded.out.substr(0, loaded.out.find('\n'));
  ASSERT_EQ(runProgram("/usr/bin/pactl", {"set-default-source", "othermic"}).status, 0);
  auto process = dictate("mic");
  const bool started = listening(*process);
  // Back to the harness's microphone, and the one in use goes away.
  runProgram("/usr/bin/pactl", {"set-default-source", "virtmic"});
  runProgram("/usr/bin/pactl", {"unload-module", module});
  ASSERT_TRUE(started) << process->err();

  playRaw(RECORDINGS + "goforward.raw");
  ASSERT_EQ(process->waitExit(20s), 0) << process->err();
  std::string said;
  for (const auto& line : eventsOf(*process, "line")) said += line["text"].get<std::string>() + " ";
  EXPECT_GE(wordsHeard("go forward 10 meters", said), 3) << said;
  EXPECT_TRUE(eventsOf(*process, "error").empty());
}

TEST_F(DictateE2eTest, HoldModesMoveOffABluetoothHeadsetToTheBuiltInMicrophone) {
  PrivateSoundServer server = headsetSoundServer(scratch);
  RunResult internal = server.pactl({"load-module", "module-remap-source", "source_name=internal",
                                     "master=feed.monitor", "source_properties=device.form_factor=internal"});
  ASSERT_EQ(internal.status, 0) << internal.err;
  auto process = dictate("hold", {{"PULSE_SERVER", server.address()}});
  ASSERT_TRUE(listening(*process)) << process->err();
  std::this_thread::sleep_for(1s);  // a fresh null sink's first second is lost to its latency
  playRaw(RECORDINGS + "goforward.raw", "feed", server.clientOptions());
  EXPECT_TRUE(process->waitForLine([](const std::string& line) { return isKind(line, "line"); }, 10s));
  process->write("stop\n");
  ASSERT_EQ(process->waitExit(10s), 0) << process->err();
  std::string said;
  for (const auto& line : eventsOf(*process, "line")) said += line["text"].get<std::string>() + " ";
  EXPECT_GE(wordsHeard("go forward 10 meters", said), 3) << said;
}

TEST_F(DictateE2eTest, OnAHeadsetListeningWaitsForRealSound) {
  PrivateSoundServer server = headsetSoundServer(scratch);
  auto process = dictate("hold", {{"PULSE_SERVER", server.address()}});
  ASSERT_TRUE(process->waitForLine([](const std::string& line) { return isKind(line, "level"); }, 15s))
      << process->err();
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(eventsOf(*process, "listening").empty());  // the headset only hears silence
  playRaw(RECORDINGS + "goforward.raw", "hush", server.clientOptions());
  EXPECT_TRUE(listening(*process));
  process->write("cancel\n");
  ASSERT_EQ(process->waitExit(10s), 0) << process->err();
  EXPECT_NE(logOf(scratch).find(" dictate listening\n"), std::string::npos);
}

// A sound server that stops answering while a dictation starts, or while it captures: "cancel"
// and the end of input end the process within a second, "stop" within its drain (1 s) and a
// second, each with "done" and status 0.
TEST_F(DictateE2eTest, EndingsFinishInTimeWhenTheSoundServerHangs) {
  struct Case {
    std::string mode;
    bool capturing;
    std::string ending;
  };
  std::vector<Case> cases;
  for (const std::string ending : {"cancel", "stop", "close"}) {
    cases.push_back({"mic", false, ending});
    cases.push_back({"hold", false, ending});
    cases.push_back({"hold-keep", true, ending});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode + (c.capturing ? " capturing, " : " starting, ") + c.ending);
    std::filesystem::remove(scratch.dataHome() / "com.quorvel.vesk/dictate.log");
    HungSoundServer server;
    auto process = dictate(c.mode);
    if (c.capturing) {
      ASSERT_TRUE(listening(*process)) << process->err();
    } else {
      // Past the microphone check: the session has begun its start.
      ASSERT_TRUE(eventually(
          [&] { return logOf(scratch).find(" dictate start pid=") != std::string::npos; }, 1s, 2ms))
          << process->err();
    }
    server.hang();
    std::this_thread::sleep_for(200ms);
    const auto began = std::chrono::steady_clock::now();
    if (c.ending == "close") {
      process->closeInput();
    } else {
      process->write(c.ending + "\n");
    }
    const int status = process->waitExit(5s);
    const auto took = std::chrono::steady_clock::now() - began;
    server.resume();
    EXPECT_EQ(status, 0) << process->err();
    EXPECT_LT(took, c.ending == "stop" ? 2200ms : 1200ms);
    ASSERT_FALSE(process->lines().empty());
    EXPECT_EQ(process->lines().back(), R"({"kind":"done"})");
  }
}

// A data folder on a full file system costs the dictation its log, reported on standard error,
// and nothing else.
TEST_F(DictateE2eTest, AFullDataFolderCostsOnlyTheLog) {
  FullFileSystem disk(scratch.root() / "data");
  if (!disk.refused().empty()) GTEST_SKIP() << disk.refused();
  disk.fill();
  auto process = dictate("hold", {{"XDG_DATA_HOME", disk.root().string()}});
  ASSERT_TRUE(listening(*process)) << process->err();
  playRaw(RECORDINGS + "goforward.raw");
  EXPECT_TRUE(process->waitForLine([](const std::string& line) { return isKind(line, "line"); }, 10s));
  process->write("stop\n");
  ASSERT_EQ(process->waitExit(10s), 0) << process->err();
  EXPECT_EQ(process->lines().back(), R"({"kind":"done"})");
  const std::string report = "vesk-native: couldn\u2019t write the run\u2019s log: write " +
                             (disk.root() / "com.quorvel.vesk/dictate.log").string() +
                             ": No space left on device\n";
  const std::string err = process->err();
  ASSERT_FALSE(err.empty());
  for (std::size_t at = 0; at < err.size(); at += report.size()) {
    ASSERT_EQ(err.substr(at, report.size()), report) << err;
  }
}
