#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "fakes/FakeConsole.h"
#include "fakes/FakePlatform.h"
#include "base/Context.h"
#include "main/machine/MachineCommands.h"
#include "base/Timings.h"

using RecordStream = SoundServer::RecordStream;

namespace {

constexpr const char* MUSIC = "org.mpris.MediaPlayer2.GnomeMusic";
constexpr const char* SPOTIFY = "org.mpris.MediaPlayer2.spotify";

class MachineCommandsTest : public ::testing::Test {
 protected:
  MachineCommandsTest() {
    timings.micUserWatchPause = std::chrono::milliseconds(1);
    timings.soundTail = std::chrono::milliseconds(1);
    timings.mediaPlayerCallLimit = std::chrono::milliseconds(7);
  }

  // Runs a command; returns its status, with its output in console.
  int run(const std::function<void(Context&)>& command) {
    Context context{fakes.platform, *console, timings};
    try {
      command(context);
    } catch (const ProcessEnded& ended) {
      return ended.status;
    }
    ADD_FAILURE() << "the command returned";
    return -1;
  }

  static RecordStream stream(std::string id, int pid = 0) {
    RecordStream s;
    s.applicationId = std::move(id);
    s.processId = pid;
    return s;
  }

  FakePlatform fakes;
  std::unique_ptr<FakeConsole> console = std::make_unique<FakeConsole>();
  Timings timings;
};

TEST_F(MachineCommandsTest, MicUsersAreTheRunningMicrophoneStreamsInOrderWithDuplicates) {
  auto corked = stream("org.example.Corked");
  corked.corked = true;
  auto monitor = stream("org.example.ScreenRecorder");
  monitor.fromMonitor = true;
  auto module = stream("");
  module.fromClient = false;
  fakes.soundServer->streams = {
      stream("org.example.Call"), corked, monitor, module, stream("", 41), stream("", 42),
      stream("org.example.Call")};
  fakes.processes->desktopEntries[41] = "org.example.Recorder";

  EXPECT_EQ(micUsers(fakes.platform),
            (std::vector<std::string>{"org.example.Call", "org.example.Recorder", "",
                                      "org.example.Call"}));
  EXPECT_EQ(run(runMicUsers), 0);
  EXPECT_EQ(console->stdoutText(),
            R"(["org.example.Call","org.example.Recorder","","org.example.Call"])");
}

// Ends the watch after a number of lines, as the parent stopping the process would.
class LineLimitConsole final : public Console {
 public:
  explicit LineLimitConsole(int lines) : left(lines) {}
  std::string text;
  int left;
  void out(std::string_view bytes) override {
    text += bytes;
    if (--left == 0) throw ProcessEnded{-1};
  }
  void err(std::string_view bytes) override { text += bytes; }
  [[noreturn]] void end(int status) override { throw ProcessEnded{status}; }
};

TEST_F(MachineCommandsTest, MicUserWatchPrintsOneLinePerPassAndSkipsPassesItCannotWrite) {
  // The second pass meets a name that is not UTF-8 and prints nothing; the watch goes on.
  struct Changing final : public SoundServer {
    int passes = 0;
    Access microphoneAccess() override { return Access::Allowed; }
    Access outputMonitorAccess() override { return Access::Allowed; }
    std::vector<RecordStream> recordStreams() override {
      return {stream(++passes == 2 ? "bad\xff" : "org.example/Call")};
    }
    std::optional<Output> defaultOutput() override { return std::nullopt; }
  };
  auto* server = new Changing;
  fakes.platform.soundServer.reset(server);
  LineLimitConsole lines(3);
  Context context{fakes.platform, lines, timings};
  EXPECT_THROW(runMicUserWatch(context), ProcessEnded);
  EXPECT_EQ(lines.text,
            "[\"org.example\\/Call\"]\n[\"org.example\\/Call\"]\n"
            "[\"org.example\\/Call\"]\n");
  EXPECT_EQ(server->passes, 4);
}

TEST_F(MachineCommandsTest, MicUserWatchEndsWhenTheAppThatStartedItHasGone) {
  // Reparented after the second pass.
  struct Orphaned final : public SoundServer {
    FakeProcesses& processes;
    int passes = 0;
    explicit Orphaned(FakeProcesses& processes) : processes(processes) {}
    Access microphoneAccess() override { return Access::Allowed; }
    Access outputMonitorAccess() override { return Access::Allowed; }
    std::vector<RecordStream> recordStreams() override {
      if (++passes == 2) processes.parentPid = 1;
      return {};
    }
    std::optional<Output> defaultOutput() override { return std::nullopt; }
  };
  auto* server = new Orphaned(*fakes.processes);
  fakes.platform.soundServer.reset(server);
  EXPECT_EQ(run(runMicUserWatch), 0);
  EXPECT_EQ(console->stdoutText(), "[]\n[]\n");
  EXPECT_EQ(server->passes, 2);
}

TEST_F(MachineCommandsTest, MemoryCoversTheParentAndAllItsDescendantsOnly) {
  auto& p = *fakes.processes;
  p.table = {{1, 0, "init"},       {5, 1, "other"},         {10, 1, "vesk"},
             {11, 10, "helper"},   {20, 10, "vesk-native"}, {30, 11, "grandchild"},
             {31, 5, "unrelated"}, {40, 30, "great"}};
  for (auto& entry : p.table) p.sizes[entry.pid] = 1000u * static_cast<unsigned>(entry.pid);
  p.sizes.erase(30);  // gone, or not ours to read: skipped, its children are still counted

  EXPECT_EQ(run(runMemory), 0);
  EXPECT_EQ(nlohmann::json::parse(console->stdoutText()),
            nlohmann::json::parse(R"([{"name":"vesk","bytes":10000},{"name":"helper","bytes":11000},
              {"name":"vesk-native","bytes":20000},{"name":"great","bytes":40000}])"));
}

TEST_F(MachineCommandsTest, MemoryOfAnOrphanedBridgeIsItsOwnNotTheWholeMachine) {
  auto& p = *fakes.processes;
  p.parentPid = 1;
  p.table = {{1, 0, "init"}, {5, 1, "other"}, {20, 1, "vesk-native"}, {21, 20, "child"}};
  p.sizes = {{1, 1}, {5, 5}, {20, 20}, {21, 21}};
  auto records = memoryRecords(p);
  ASSERT_TRUE(records);
  EXPECT_EQ(*records, nlohmann::json::parse(
                          R"([{"name":"vesk-native","bytes":20},{"name":"child","bytes":21}])"));
}

TEST_F(MachineCommandsTest, MemoryWithoutAProcessTableFails) {
  fakes.processes->readable = false;
  EXPECT_EQ(run(runMemory), 1);
  EXPECT_EQ(console->stderrText(), "Can't tell which processes are Vesk's.");
  EXPECT_EQ(console->stdoutText(), "");
}

TEST_F(MachineCommandsTest, MusicHushPausesOnlyPlayingPlayersInNameOrder) {
  auto& m = *fakes.mediaPlayers;
  m.players[SPOTIFY] = {"Playing", true};
  m.players[MUSIC] = {"Playing", true};
  EXPECT_EQ(run(runMusicHush), 0);
  EXPECT_EQ(console->stdoutText(), R"(["music","spotify"])");
  EXPECT_EQ(m.calls,
            (std::vector<std::string>{
                std::string("PlaybackStatus ") + MUSIC, std::string("Pause ") + MUSIC,
                std::string("PlaybackStatus ") + SPOTIFY, std::string("Pause ") + SPOTIFY}));
  for (auto timeout : m.timeouts) EXPECT_EQ(timeout, std::chrono::milliseconds(7));
}

TEST_F(MachineCommandsTest, MusicHushLeavesPausedSilentAndAbsentPlayersAlone) {
  auto& m = *fakes.mediaPlayers;
  m.players[SPOTIFY] = {"Paused", true};
  m.players[MUSIC] = {"Playing", false};  // running, but answers nothing in time
  EXPECT_EQ(run(runMusicHush), 0);
  EXPECT_EQ(console->stdoutText(), "[]");
  EXPECT_EQ(m.players[SPOTIFY].status, "Paused");
  for (const auto& call : m.calls) EXPECT_NE(call.rfind("Pause ", 0), 0u) << call;

  m.players.clear();
  m.calls.clear();
  console = std::make_unique<FakeConsole>();
  EXPECT_EQ(run(runMusicHush), 0);
  EXPECT_EQ(console->stdoutText(), "[]");
  EXPECT_TRUE(m.calls.empty());
}

TEST_F(MachineCommandsTest, MusicHushDoesNotNameAPlayerThatRefusedToPause) {
  struct Refusing final : public MediaPlayers {
    bool running(const std::string&, Millis) override { return true; }
    std::optional<std::string> playbackStatus(const std::string&, Millis) override {
      return "Playing";
    }
    bool pause(const std::string&, Millis) override { return false; }
    bool play(const std::string&, Millis) override { return false; }
  };
  fakes.platform.mediaPlayers = std::make_unique<Refusing>();
  EXPECT_EQ(run(runMusicHush), 0);
  EXPECT_EQ(console->stdoutText(), "[]");
}

TEST_F(MachineCommandsTest, MusicPlayAsksRunningPlayersInTheGivenOrderAndStartsNone) {
  auto& m = *fakes.mediaPlayers;
  m.players[SPOTIFY] = {"Paused", true};
  m.players[MUSIC] = {"Paused", true};
  EXPECT_EQ(run([](Context& c) { runMusicPlay(c, {"spotify", "music"}); }), 0);
  EXPECT_EQ(console->stdoutText(), "[]");
  EXPECT_EQ(m.calls, (std::vector<std::string>{std::string("Play ") + SPOTIFY,
                                               std::string("Play ") + MUSIC}));

  m.players.erase(MUSIC);
  m.calls.clear();
  console = std::make_unique<FakeConsole>();
  EXPECT_EQ(run([](Context& c) { runMusicPlay(c, {"music"}); }), 0);
  EXPECT_EQ(console->stdoutText(), "[]");
  EXPECT_TRUE(m.calls.empty());
}

TEST_F(MachineCommandsTest, SoundPlaysToTheEndSilentlyAndReportsAFailure) {
  EXPECT_EQ(run([](Context& c) { runSound(c, "bell"); }), 0);
  EXPECT_EQ(fakes.systemSounds->played, std::vector<std::string>{"bell"});
  EXPECT_EQ(fakes.systemSounds->longestAsked, timings.soundLongest);
  EXPECT_EQ(console->stdoutText(), "");
  EXPECT_EQ(console->stderrText(), "");

  fakes.systemSounds->failure = "Not available";
  EXPECT_EQ(run([](Context& c) { runSound(c, "bell"); }), 1);
  EXPECT_EQ(console->stderrText(), "sound: Not available");
  EXPECT_EQ(console->stdoutText(), "");
}

TEST_F(MachineCommandsTest, AudioRouteIsHeadphonesForBluetoothOrAHeadphonePort) {
  auto route = [this](std::optional<SoundServer::Output> output) {
    fakes.soundServer->output = std::move(output);
    console = std::make_unique<FakeConsole>();
    EXPECT_EQ(run(runAudioRoute), 0);
    return console->stdoutText();
  };
  EXPECT_EQ(route(SoundServer::Output{"bluetooth", false}), "headphones\n");
  EXPECT_EQ(route(SoundServer::Output{"pci", true}), "headphones\n");
  EXPECT_EQ(route(SoundServer::Output{"pci", false}), "speakers\n");
  EXPECT_EQ(route(SoundServer::Output{"usb", false}), "speakers\n");
  EXPECT_EQ(route(SoundServer::Output{"", false}), "speakers\n");
  EXPECT_EQ(route(std::nullopt), "speakers\n");
}

TEST_F(MachineCommandsTest, DeviceIdIsAnUpperCaseUuidOrTheFailure) {
  EXPECT_EQ(run(runDeviceId), 0);
  EXPECT_EQ(console->stdoutText(), R"({"id":"01234567-89AB-CDEF-FEDC-BA9876543210"})");

  fakes.machineId->id.reset();
  console = std::make_unique<FakeConsole>();
  EXPECT_EQ(run(runDeviceId), 1);
  EXPECT_EQ(console->stderrText(), "Couldn\u2019t read this Mac\u2019s hardware id");
  EXPECT_EQ(console->stdoutText(), "");
}

TEST_F(MachineCommandsTest, ExcludeFromBackupReportsWhatTheFileSystemKept) {
  auto exclude = [this](const std::string& path) {
    console = std::make_unique<FakeConsole>();
    return run([&](Context& c) { runExcludeFromBackup(c, path); });
  };
  EXPECT_EQ(exclude("/data/a"), 0);
  EXPECT_EQ(console->stdoutText(), R"({"excluded":true})");

  fakes.backupExclusion->keepsMark = false;
  EXPECT_EQ(exclude("/data/b"), 0);
  EXPECT_EQ(console->stdoutText(), R"({"excluded":false})");

  fakes.backupExclusion->failing.insert("/missing");
  EXPECT_EQ(exclude("/missing"), 1);
  EXPECT_EQ(console->stderrText(), "exclude-from-backup: No such file or directory");
  EXPECT_EQ(console->stdoutText(), "");
}

}  // namespace
