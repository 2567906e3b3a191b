#pragma once

#include <string>
#include <vector>

struct Context;

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

// The players music-play accepts.
bool isMusicPlayer(const std::string& name);
