#include "main/machine/MachineCommands.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <thread>

#include "base/Console.h"
#include "base/Context.h"
#include "base/ExitStatus.h"
#include "main/Reply.h"
#include "base/Timings.h"
#include "platform/Platform.h"

namespace {

// The players music-hush and music-play know, by name, with their bus names; in name order.
struct MusicPlayer {
  std::string_view name;
  const char* busName;
};
constexpr MusicPlayer MUSIC_PLAYERS[] = {
    {"music", "org.mpris.MediaPlayer2.GnomeMusic"},
    {"spotify", "org.mpris.MediaPlayer2.spotify"},
};

const MusicPlayer* musicPlayer(const std::string& name) {
  for (const auto& player : MUSIC_PLAYERS) {
    if (player.name == name) return &player;
  }
  return nullptr;
}

}  // namespace

bool isMusicPlayer(const std::string& name) { return musicPlayer(name) != nullptr; }

std::vector<std::string> micUsers(Platform& platform) {
  std::vector<std::string> users;
  for (const auto& stream : platform.soundServer->recordStreams()) {
    // The server's own plumbing and recordings of outputs are nobody using the microphone.
    if (stream.corked || stream.fromMonitor || !stream.fromClient) continue;
    std::string user = stream.applicationId;
    if (user.empty()) user = platform.processes->desktopEntryOf(stream.processId);
    users.push_back(std::move(user));
  }
  return users;
}

std::optional<nlohmann::json> memoryRecords(Processes& processes) {
  auto table = processes.all();
  if (!table) return std::nullopt;
  // The app that started the bridge answers for it; an orphaned bridge answers for itself.
  int responsible = processes.parentOfSelf();
  if (responsible <= 1) responsible = processes.self();

  std::multimap<int, int> children;
  for (const auto& entry : *table) children.emplace(entry.parentPid, entry.pid);
  std::set<int> ours{responsible};
  std::vector<int> toVisit{responsible};
  while (!toVisit.empty()) {
    int parent = toVisit.back();
    toVisit.pop_back();
    auto [first, last] = children.equal_range(parent);
    for (auto child = first; child != last; ++child) {
      if (ours.insert(child->second).second) toVisit.push_back(child->second);
    }
  }

  auto records = nlohmann::json::array();
  for (const auto& entry : *table) {
    if (entry.pid <= 0 || !ours.count(entry.pid)) continue;
    auto bytes = processes.proportionalSetSize(entry.pid);
    if (!bytes) continue;
    records.push_back({{"name", entry.name}, {"bytes", *bytes}});
  }
  return records;
}

std::string uuidText(const MachineId::Bytes& bytes) {
  static constexpr char DIGITS[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += DIGITS[bytes[i] >> 4];
    text += DIGITS[bytes[i] & 0xF];
  }
  return text;
}

void runMicUserWatch(Context& context) {
  // Nobody reads the lines once the app that started the watch has gone (its pipe's errors are
  // ignored), so the watch ends with it rather than running on alone.
  int parent = context.platform.processes->parentOfSelf();
  for (;;) {
    try {
      context.console.out(jsonText(micUsers(context.platform)) + "\n");
    } catch (const nlohmann::json::exception&) {
      // A name that is not UTF-8: this pass prints nothing.
    }
    std::this_thread::sleep_for(context.timings.micUserWatchPause);
    if (context.platform.processes->parentOfSelf() != parent) context.console.end(EXIT_OK);
  }
}

void runMicUsers(Context& context) { reply(context.console, micUsers(context.platform)); }

void runMemory(Context& context) {
  auto records = memoryRecords(*context.platform.processes);
  if (!records) fail(context.console, "Can't tell which processes are Vesk's.", EXIT_FAILED);
  reply(context.console, *records);
}

void runMusicHush(Context& context) {
  auto& players = *context.platform.mediaPlayers;
  auto timeout = context.timings.mediaPlayerCallLimit;
  auto paused = nlohmann::json::array();
  for (const auto& [name, busName] : MUSIC_PLAYERS) {
    if (!players.running(busName, timeout)) continue;
    if (players.playbackStatus(busName, timeout) != "Playing") continue;
    if (players.pause(busName, timeout)) paused.push_back(std::string(name));
  }
  reply(context.console, paused);
}

void runMusicPlay(Context& context, const std::vector<std::string>& names) {
  auto& players = *context.platform.mediaPlayers;
  auto timeout = context.timings.mediaPlayerCallLimit;
  for (const auto& name : names) {
    const MusicPlayer* player = musicPlayer(name);
    if (!player) continue;
    // Only a running player is asked; asking by name never starts one.
    if (players.running(player->busName, timeout)) players.play(player->busName, timeout);
  }
  reply(context.console, nlohmann::json::array());
}

void runSound(Context& context, const std::string& name) {
  try {
    context.platform.systemSounds->play(name, context.timings.soundLongest);
  } catch (const SoundFailure& failure) {
    fail(context.console, std::string("sound: ") + failure.what(), EXIT_FAILED);
  }
  // The sound server drains its last buffer after reporting the end.
  std::this_thread::sleep_for(context.timings.soundTail);
  context.console.end(EXIT_OK);
  std::abort();  // end() never returns
}

void runAudioRoute(Context& context) {
  auto output = context.platform.soundServer->defaultOutput();
  bool headphones = output && (output->bus == "bluetooth" || output->headphonePort);
  context.console.out(headphones ? "headphones\n" : "speakers\n");
  context.console.end(EXIT_OK);
  std::abort();  // end() never returns
}

void runDeviceId(Context& context) {
  auto id = context.platform.machineId->forThisProgram();
  if (!id) fail(context.console, "Couldn\u2019t read this Mac\u2019s hardware id", EXIT_FAILED);
  reply(context.console, {{"id", uuidText(*id)}});
}

void runExcludeFromBackup(Context& context, const std::string& path) {
  auto& exclusion = *context.platform.backupExclusion;
  if (auto error = exclusion.exclude(path)) {
    fail(context.console, "exclude-from-backup: " + *error, EXIT_FAILED);
  }
  reply(context.console, {{"excluded", exclusion.isExcluded(path)}});
}
