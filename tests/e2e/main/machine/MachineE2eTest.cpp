// Microphone users, audio route, media players, sounds and machine facts of the built binary
// against the real test services.
#include <gtest/gtest.h>
#include <pulse/def.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <regex>

#include "e2e/main/machine/MprisPeer.h"
#include "platform/linux/gio/MprisMediaPlayers.h"
#include "platform/linux/pulse/PulseSoundServer.h"
#include "support/BackgroundProgram.h"
#include "support/Eventually.h"
#include "support/PrivateSoundServer.h"
#include "support/ReplyOf.h"
#include "support/Run.h"
#include "support/Scratch.h"
#include "support/Services.h"

using namespace std::chrono_literals;
using nlohmann::json;

namespace {

constexpr const char* MUSIC = "org.mpris.MediaPlayer2.GnomeMusic";
constexpr const char* SPOTIFY = "org.mpris.MediaPlayer2.spotify";

// Asks again until the answer satisfies the test, for up to 5 s; returns the last answer.
std::string replyOnceTrue(const std::vector<std::string>& args,
                          const std::function<bool(const std::string&)>& test,
                          const RunOptions& options = {}) {
  std::string answer;
  eventually([&] { return test(answer = replyOf(runVesk(args, options))); });
  return answer;
}

bool holds(const std::string& reply, const std::string& name) {
  json users = json::parse(reply);
  return std::find(users.begin(), users.end(), name) != users.end();
}

// A recorder of the test services' microphone (or another source), named as the options say.
BackgroundProgram recorder(std::map<std::string, std::optional<std::string>> env,
                           const std::string& source = "virtmic") {
  RunOptions options;
  options.env = std::move(env);
  options.env.try_emplace("GIO_LAUNCHED_DESKTOP_FILE", std::nullopt);
  return BackgroundProgram("parecord", {"--latency-msec=20", "-d", source, "/dev/null"}, options);
}

TEST(MachineE2e, MicUsersNamesTheRecordersOfTheMicrophone) {
  requireServices();
  auto byId = recorder({{"PULSE_PROP", "application.id=org.example.Recorder"}});
  auto byEntry =
      recorder({{"GIO_LAUNCHED_DESKTOP_FILE", "/opt/apps/org.example.Launched.desktop"}});
  auto ofOutput =
      recorder({{"PULSE_PROP", "application.id=org.example.Loopback"}}, "speakers.monitor");

  std::string users = replyOnceTrue({"mic-users"}, [](const std::string& reply) {
    return holds(reply, "org.example.Recorder") && holds(reply, "org.example.Launched");
  });
  EXPECT_TRUE(holds(users, "org.example.Recorder")) << users;
  EXPECT_TRUE(holds(users, "org.example.Launched")) << users;
  // Recording the computer's own sound is not using the microphone.
  EXPECT_FALSE(holds(users, "org.example.Loopback")) << users;
}

TEST(MachineE2e, MicUsersGivesAnEmptyNameToARecorderWithoutOne) {
  requireServices();
  // A server of its own, so no other test's recorder is counted.
  Scratch scratch;
  PrivateSoundServer server(
      scratch, {.modules = {"module-null-sink sink_name=feed",
                            "module-remap-source source_name=mic master=feed.monitor"}});
  auto replyOnceIs = [&](const std::string& wanted) {
    return replyOnceTrue(
        {"mic-users"}, [&](const std::string& answer) { return answer == wanted; },
        server.clientOptions());
  };
  EXPECT_EQ(replyOnceIs("[]"), "[]");
  {
    auto env = server.clientOptions().env;
    auto nameless = recorder(env, "mic");
    EXPECT_EQ(replyOnceIs(R"([""])"), R"([""])");
  }
  EXPECT_EQ(replyOnceIs("[]"), "[]");
}

TEST(MachineE2e, MicUsersWithoutASoundServerIsEmpty) {
  requireServices();
  Scratch scratch;
  RunOptions options;
  options.env["PULSE_SERVER"] = "unix:" + (scratch.root() / "nobody-here").string();
  EXPECT_EQ(replyOf(runVesk({"mic-users"}, options)), "[]");
}

TEST(MachineE2e, MicUserWatchWritesItsFirstLineAtOnceAndNeverEnds) {
  requireServices();
  auto byId = recorder({{"PULSE_PROP", "application.id=org.example.Watched"}});
  replyOnceTrue({"mic-users"},
                [](const std::string& reply) { return holds(reply, "org.example.Watched"); });
  RunOptions options;
  options.timeoutSeconds = 1;  // the watch never ends by itself
  RunResult r = runVesk({"listen", "who", "mic"}, options);
  EXPECT_EQ(r.status, 128 + SIGKILL);
  EXPECT_EQ(r.err, "");
  ASSERT_FALSE(r.out.empty());
  ASSERT_EQ(r.out.back(), '\n');
  std::string first = r.out.substr(0, r.out.find('\n'));
  EXPECT_TRUE(holds(first, "org.example.Watched")) << first;
}

// Gone, or ended and waiting to be reaped by whoever adopted it.
bool ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  std::getline(stat, text);
  auto close = text.rfind(") ");
  return !stat || close == std::string::npos || text[close + 2] == 'Z';
}

TEST(MachineE2e, MicUserWatchEndsWhenTheAppThatStartedItHasGone) {
  requireServices();
  Scratch scratch;
  auto lines = scratch.root() / "lines";
  // The shell starts the watch, waits for its first line and quits, as an app that quit would.
  RunResult shell = runProgram("/bin/sh", {"-c",
                                           "\"$0\" listen who mic > \"$1\" 2>/dev/null & "
                                           "while [ ! -s \"$1\" ]; do sleep 0.05; done; echo $!",
                                           VESK_BINARY, lines.string()});
  ASSERT_EQ(shell.status, 0) << shell.err;
  pid_t watch = std::stoi(shell.out);
  const bool gone = eventually([&] { return ended(watch); });  // one 3 s pause, then it notices
  EXPECT_TRUE(gone) << "the watch outlived its app";
  if (!gone) kill(watch, SIGKILL);
  std::string first;
  std::getline(std::ifstream(lines), first);
  EXPECT_EQ(first.front(), '[');
}

// A process's resident memory in kB (VmRSS), or -1 once it has gone.
long residentKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// Waits until the file holds the number of lines, for up to the limit.
bool waitForLines(const std::filesystem::path& file, std::size_t lines,
                  std::chrono::seconds limit) {
  return eventually(
      [&] {
        std::ifstream text(file);
        std::size_t count = 0;
        for (std::string line; std::getline(text, line);) ++count;
        return count >= lines;
      },
      limit, 100ms);
}

TEST(MachineE2e, MicUserWatchKeepsFlatMemoryOverTenThousandPasses) {
  requireServices();
  Scratch scratch;
  const auto lines = scratch.root() / "lines";
  RunOptions fast;
  // Its 3 s pause cut to 1 ms; the sanitizer's quarantine of freed memory off, so what the
  // resident size measures is what the watch keeps.
  fast.env["LD_PRELOAD"] = SHORT_SLEEPS;
  const char* asan = std::getenv("ASAN_OPTIONS");
  fast.env["ASAN_OPTIONS"] = std::string(asan ? asan : "") +
                             ":verify_asan_link_order=0:quarantine_size_mb=0"
                             ":thread_local_quarantine_size_kb=0";
  // The watch ends once its parent has gone, so it is started as the test's own child.
  BackgroundProgram watch("/bin/sh", {"-c", "exec \"$0\" listen who mic > \"$1\"", VESK_BINARY,
                                      lines.string()},
                          fast);
  ASSERT_TRUE(waitForLines(lines, 1000, 120s)) << "the watch did not reach 1,000 passes";
  const long early = residentKb(watch.pid());
  ASSERT_TRUE(waitForLines(lines, 10000, 600s)) << "the watch did not reach 10,000 passes";
  const long late = residentKb(watch.pid());
  ASSERT_GT(early, 0);
  ASSERT_GT(late, 0);
  RecordProperty("rss_kb_at_1000", std::to_string(early));
  RecordProperty("rss_kb_at_10000", std::to_string(late));
  EXPECT_LT(late - early, 2048) << early << " kB after 1,000 passes, " << late
                                << " kB after 10,000";
  std::string first;
  std::getline(std::ifstream(lines), first);
  EXPECT_EQ(first.front(), '[');
}

TEST(MachineE2e, AudioRouteFollowsTheDefaultOutputsBus) {
  requireServices();
  Scratch scratch;
  PrivateSoundServer server(
      scratch, {.modules = {"module-null-sink sink_name=buds sink_properties=device.bus=bluetooth",
                            "module-null-sink sink_name=dock sink_properties=device.bus=usb"}});
  server.setDefaultSink("buds");
  EXPECT_EQ(runVesk({"audio-route"}, server.clientOptions()).out, "headphones\n");
  server.setDefaultSink("dock");
  EXPECT_EQ(runVesk({"audio-route"}, server.clientOptions()).out, "speakers\n");
  // The test services' output is a null sink on no bus at all.
  EXPECT_EQ(replyOf(runVesk({"audio-route"})), "speakers\n");

  RunOptions nobody;
  nobody.env["PULSE_SERVER"] = "unix:" + (scratch.root() / "nobody-here").string();
  RunResult r = runVesk({"audio-route"}, nobody);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "speakers\n");
}

// Null sinks have no ports, so the port test is checked on its own, with the values real
// drivers report.
TEST(MachineE2e, HeadphonePortsAreKnownByTypeOrElseByName) {
  constexpr int UNKNOWN = PA_DEVICE_PORT_TYPE_UNKNOWN, SPEAKER = PA_DEVICE_PORT_TYPE_SPEAKER,
                HEADPHONES = PA_DEVICE_PORT_TYPE_HEADPHONES, HEADSET = PA_DEVICE_PORT_TYPE_HEADSET,
                HDMI = PA_DEVICE_PORT_TYPE_HDMI;
  EXPECT_TRUE(PulseSoundServer::isHeadphonePort(HEADPHONES, "analog-output-headphones"));
  EXPECT_TRUE(PulseSoundServer::isHeadphonePort(HEADSET, "headset-output"));
  EXPECT_TRUE(PulseSoundServer::isHeadphonePort(UNKNOWN, "[Out] Headphones"));
  EXPECT_TRUE(PulseSoundServer::isHeadphonePort(UNKNOWN, "analog-output-headphones"));
  EXPECT_FALSE(PulseSoundServer::isHeadphonePort(SPEAKER, "analog-output-speaker"));
  EXPECT_FALSE(PulseSoundServer::isHeadphonePort(HDMI, "hdmi-output-0"));
  EXPECT_FALSE(PulseSoundServer::isHeadphonePort(UNKNOWN, "analog-output-lineout"));
  EXPECT_FALSE(PulseSoundServer::isHeadphonePort(UNKNOWN, nullptr));
}

TEST(MachineE2e, MusicHushPausesThePlayingPlayerOnly) {
  requireServices();
  MprisPeer spotify(SPOTIFY, "Playing");
  MprisPeer music(MUSIC, "Paused");
  EXPECT_EQ(replyOf(runVesk({"music-hush"})), R"(["spotify"])");
  EXPECT_EQ(spotify.status(), "Paused");
  EXPECT_EQ(spotify.pauses(), 1);
  EXPECT_EQ(music.pauses(), 0);
  // Both paused now: nothing more to hush.
  EXPECT_EQ(replyOf(runVesk({"music-hush"})), "[]");
  EXPECT_EQ(spotify.pauses(), 1);
}

TEST(MachineE2e, MusicPlayResumesRunningPlayersAndStartsNone) {
  requireServices();
  {
    MprisPeer spotify(SPOTIFY, "Paused");
    EXPECT_EQ(replyOf(runVesk({"music-play", "spotify", "music"})), "[]");
    EXPECT_EQ(spotify.plays(), 1);
    EXPECT_EQ(spotify.status(), "Playing");
  }
  EXPECT_EQ(replyOf(runVesk({"music-hush"})), "[]");
  EXPECT_EQ(replyOf(runVesk({"music-play", "music"})), "[]");
}

TEST(MachineE2e, MusicHushAndPlayReachARealPlayer) {
  requireServices();
  const std::string mpv = "org.mpris.MediaPlayer2.mpv";
  BackgroundProgram player(
      "mpv",
      {"--no-config", "--no-video", "--ao=pulse", "--loop=inf", "--idle=yes", "--no-terminal",
       "--script=/etc/mpv/scripts/mpris.so", "/usr/share/sounds/freedesktop/stereo/complete.oga"});
  MprisMediaPlayers bus;
  auto statusOnceIs = [&](const std::string& wanted) {
    std::optional<std::string> status;
    eventually([&] { return (status = bus.playbackStatus(mpv, 2s)) == wanted; }, 10s);
    return status.value_or("(no answer)");
  };
  ASSERT_EQ(statusOnceIs("Playing"), "Playing") << "the player did not start";
  // The player registers its own name; a stand-in answers for it under Spotify's.
  MprisPeer spotify(SPOTIFY, "", 0ms, mpv);

  EXPECT_EQ(replyOf(runVesk({"music-hush"})), R"(["spotify"])");
  EXPECT_EQ(statusOnceIs("Paused"), "Paused");
  EXPECT_EQ(replyOf(runVesk({"music-play", "spotify"})), "[]");
  EXPECT_EQ(statusOnceIs("Playing"), "Playing");
}

TEST(MachineE2e, APlayerThatDoesNotAnswerCostsTwoSecondsAndIsNotNamed) {
  requireServices();
  MprisPeer stuck(MUSIC, "Playing", 2300ms);
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(replyOf(runVesk({"music-hush"})), "[]");
  auto took = std::chrono::steady_clock::now() - started;
  EXPECT_GE(took, 1900ms);
  EXPECT_LT(took, 2900ms);
}

TEST(MachineE2e, SoundPlaysOnTheSoundServerUntilItEnds) {
  requireServices();
  // "complete" lasts about 1.1 s: long enough to see it among the server's playing streams.
  BackgroundProgram sound(VESK_BINARY, {"sound", "complete"});
  bool seen = false;
  eventually(
      [&] {
        seen = runProgram("/usr/bin/pactl", {"list", "sink-inputs"}).out.find("com.quorvel.vesk") !=
               std::string::npos;
        return seen || !sound.running();
      },
      3s, 25ms);
  EXPECT_TRUE(seen) << "the sound never reached the sound server";

  auto started = std::chrono::steady_clock::now();
  RunResult r = runVesk({"sound", "bell"});  // 0.14 s
  EXPECT_GE(std::chrono::steady_clock::now() - started, 240ms);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
}

TEST(MachineE2e, SoundWithoutASoundServerFailsAndUnknownNamesAreUsageErrors) {
  requireServices();
  Scratch scratch;
  RunOptions nobody;
  nobody.env["PULSE_SERVER"] = "unix:" + (scratch.root() / "nobody-here").string();
  RunResult r = runVesk({"sound", "bell"}, nobody);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("sound: ", 0), 0u) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(runVesk({"sound", "nosuchsound"}).status, 64);
  EXPECT_EQ(runVesk({"sound", "bell2"}).status, 64);
}

TEST(MachineE2e, DeviceIdIsStableUpperCaseAndNotTheMachineId) {
  std::string first = replyOf(runVesk({"device-id"}));
  EXPECT_EQ(replyOf(runVesk({"device-id"})), first);
  std::string id = json::parse(first).at("id");
  EXPECT_TRUE(std::regex_match(id, std::regex("[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}"))) << id;
  std::string machineId;
  std::ifstream("/etc/machine-id") >> machineId;
  std::string plain = id;
  std::erase(plain, '-');
  std::transform(plain.begin(), plain.end(), plain.begin(), ::tolower);
  EXPECT_NE(plain, machineId);
}

TEST(MachineE2e, ExcludeFromBackupMarksARealFileAndFailsOnAMissingOne) {
  Scratch scratch;
  auto file = scratch.root() / "meeting.jsonl";
  std::ofstream(file) << "{}\n";
  EXPECT_EQ(replyOf(runVesk({"exclude-from-backup", file.string()})), R"({"excluded":true})");
  char value[16] = {};
  ssize_t size = getxattr(file.c_str(), "user.xdg.robots.backup", value, sizeof value);
  EXPECT_EQ(std::string(value, size > 0 ? static_cast<size_t>(size) : 0), "false");
  // Marking again changes nothing.
  EXPECT_EQ(replyOf(runVesk({"exclude-from-backup", file.string()})), R"({"excluded":true})");
  EXPECT_EQ(replyOf(runVesk({"exclude-from-backup", scratch.root().string()})),
            R"({"excluded":true})");

  RunResult missing = runVesk({"exclude-from-backup", (scratch.root() / "gone").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "exclude-from-backup: No such file or directory");
  EXPECT_EQ(missing.out, "");
}

TEST(MachineE2e, MemoryListsTheBridgeAndTheProcessThatStartedIt) {
  json records = json::parse(replyOf(runVesk({"memory", "extra"})));
  ASSERT_TRUE(records.is_array());
  std::string self;
  std::ifstream("/proc/self/comm") >> self;
  bool bridge = false, parent = false;
  for (const auto& record : records) {
    EXPECT_GT(record.at("bytes").get<std::uint64_t>(), 0u);
    bridge = bridge || record.at("name") == "vesk-native";
    parent = parent || record.at("name") == self;
  }
  EXPECT_TRUE(bridge) << records.dump();
  EXPECT_TRUE(parent) << records.dump();
}

}  // namespace
