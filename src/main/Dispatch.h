#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

struct Context;
struct Platform;

// Which handler a command line goes to, with what its argument checks worked out.
struct Route {
  enum class Command {
    Usage,
    ReminderListOrder,
    Secret,
    MicUserWatch,
    Dictate,
    HoldKey,
    Meeting,
    Browsers,
    RunningApps,
    ChromeProfiles,
    ChromeOpen,
    MicUsers,
    Memory,
    MusicHush,
    MusicPlay,
    Sound,
    Opener,
    AudioRoute,
    DeviceId,
    ExcludeFromBackup,
    Reminders,
    Permissions,
    Calendar,
  };

  Command command = Command::Usage;
  // Dictate: the mode's quiet time and its two switches.
  double quietSeconds = 0;
  bool hold = false;
  bool keep = false;
  // ReminderListOrder: the parsed request object.
  nlohmann::json request;
};

// Recognises the command: tries the command words in their fixed order and applies the first
// matching word's argument checks. args are the process arguments without the program path.
// The checks of sound and opener ask the platform (the sound exists; the text is a URL).
Route route(const std::vector<std::string>& args, Platform& platform);

// Runs the command the arguments name. Never returns: every command ends the process.
[[noreturn]] void dispatch(Context& context, const std::vector<std::string>& args);
