#include "main/MachineCommands.h"

#include "main/Context.h"
#include "main/ExitStatus.h"
#include "main/Reply.h"

namespace {

[[noreturn]] void notBuilt(Context& context) {
  fail(context.console, "Machine facts aren\u2019t built into this bridge yet.", EXIT_FAILED);
}

}  // namespace

bool isMusicPlayer(const std::string& name) { return name == "music" || name == "spotify"; }

void runMicUserWatch(Context& context) { notBuilt(context); }
void runMicUsers(Context& context) { notBuilt(context); }
void runMemory(Context& context) { notBuilt(context); }
void runMusicHush(Context& context) { notBuilt(context); }
void runMusicPlay(Context& context, const std::vector<std::string>&) { notBuilt(context); }
void runSound(Context& context, const std::string&) { notBuilt(context); }
void runAudioRoute(Context& context) { notBuilt(context); }
void runDeviceId(Context& context) { notBuilt(context); }
void runExcludeFromBackup(Context& context, const std::string&) { notBuilt(context); }
