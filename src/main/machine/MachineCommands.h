#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform/MachineId.h"

struct Context;
struct Platform;
class Processes;

// listen who mic: the microphone's users every few seconds, forever.
[[noreturn]] void runMicUserWatch(Context& context);
// mic-users
[[noreturn]] void runMicUsers(Context& context);
// memory
[[noreturn]] void runMemory(Context& context);
// music-hush
[[noreturn]] void runMusicHush(Context& context);
// music-play <player>...
[[noreturn]] void runMusicPlay(Context& context, const std::vector<std::string>& players);
// sound <name>
[[noreturn]] void runSound(Context& context, const std::string& name);
// audio-route
[[noreturn]] void runAudioRoute(Context& context);
// device-id
[[noreturn]] void runDeviceId(Context& context);
// exclude-from-backup <absolutePath>
[[noreturn]] void runExcludeFromBackup(Context& context, const std::string& path);

// The players music-hush and music-play know.
bool isMusicPlayer(const std::string& name);

// The applications recording from a microphone, one entry per stream: its application id, else
// the desktop entry id of its process, else "".
std::vector<std::string> micUsers(Platform& platform);
// {"name", "bytes"} of the process that started the bridge and of every process descended from
// it; nothing when the process table cannot be read.
std::optional<nlohmann::json> memoryRecords(Processes& processes);
// The identifier as an upper-case UUID text ("6F1A...-...").
std::string uuidText(const MachineId::Bytes& bytes);
