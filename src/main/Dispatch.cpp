#include "main/Dispatch.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

#include "landing/HoldKeyCommand.h"
#include "listening/dictation/DictateCommand.h"
#include "listening/meeting/ListenCommand.h"
#include "main/apps/AppCommands.h"
#include "main/calendar/CalendarCommands.h"
#include "main/Console.h"
#include "main/Context.h"
#include "main/ExitStatus.h"
#include "main/machine/MachineCommands.h"
#include "main/permissions/Permissions.h"
#include "main/reminders/ReminderCommands.h"
#include "main/reminders/ReminderListOrder.h"
#include "main/Reply.h"
#include "main/secrets/SecretCommand.h"
#include "platform/Platform.h"

namespace {

using Command = Route::Command;

Route to(Command command) {
  Route r;
  r.command = command;
  return r;
}

bool startsWith(const std::string& text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::string& text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Decodes one UTF-8 sequence at text[i]; returns false for malformed input.
bool nextCodePoint(const std::string& text, size_t& i, char32_t& point) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                                  : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || i + length > text.size()) return false;
  point = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return false;
    point = (point << 6) | (byte(i + k) & 0x3F);
  }
  static constexpr char32_t SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
  if (point < SMALLEST[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
    return false;
  }
  i += length;
  return true;
}

// True when every character is a letter in the Unicode sense; the empty text passes.
bool allLetters(const std::string& text) {
  // The C.UTF-8 locale classifies all of Unicode, whatever the user's locale.
  static locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  for (size_t i = 0; i < text.size();) {
    char32_t point = 0;
    if (!nextCodePoint(text, i, point)) return false;
    bool letter = unicode ? iswalpha_l(static_cast<wint_t>(point), unicode) != 0
                          : (point < 0x80 && std::isalpha(static_cast<int>(point)));
    if (!letter) return false;
  }
  return true;
}

Route listenRoute(const std::vector<std::string>& args) {
  if (args.size() != 3) return to(Command::Usage);
  const std::string& mode = args[1];
  const std::string& value = args[2];
  if (mode == "dictate") {
    auto quiet = dictateQuietSeconds(value);
    if (!quiet) return to(Command::Usage);
    Route r = to(Command::Dictate);
    r.quietSeconds = *quiet;
    r.hold = value == "hold" || value == "hold-keep";
    r.keep = endsWith(value, "-keep");
    return r;
  }
  if (mode == "hold-key") {
    bool known = value == "control" || value == "right-option" || value == "none";
    return to(known ? Command::HoldKey : Command::Usage);
  }
  if (mode == "meeting") {
    return to(value == "mic" || value == "both" ? Command::Meeting : Command::Usage);
  }
  return to(Command::Usage);
}

Route reminderListOrderRoute(const std::string& text) {
  nlohmann::json request = nlohmann::json::parse(text, nullptr, false);
  if (request.is_discarded() || !request.is_object()) return to(Command::Usage);
  auto sources = request.find("sources");
  if (sources == request.end() || !sources->is_array()) return to(Command::Usage);
  for (const auto& source : *sources) {
    if (!source.is_object()) return to(Command::Usage);
  }
  Route r = to(Command::ReminderListOrder);
  r.request = std::move(request);
  return r;
}

bool chromeOpenAccepted(const std::vector<std::string>& args) {
  // The application is the desktop entry that `browsers` reported.
  return args.size() == 4 && endsWith(args[1], ".desktop") && !args[2].empty() &&
         args[2].find('/') == std::string::npos &&
         (startsWith(args[3], "https://") || startsWith(args[3], "http://"));
}

bool musicPlayAccepted(const std::vector<std::string>& args) {
  if (args.size() < 2) return false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (!isMusicPlayer(args[i])) return false;
  }
  return true;
}

[[noreturn]] void replyListOrder(Context& context, const nlohmann::json& request) {
  std::optional<std::string> defaultId;
  if (auto id = request.find("defaultId"); id != request.end() && id->is_string()) {
    defaultId = id->get<std::string>();
  }
  std::vector<ListSource> sources;
  for (const auto& source : request.at("sources")) sources.push_back(ListSource::fromJson(source));
  reply(context.console, reminderListOrder(defaultId, sources));
}

}  // namespace

Route route(const std::vector<std::string>& args, Platform& platform) {
  if (args.empty()) return to(Command::Usage);
  const std::string& word = args[0];
  const size_t count = args.size();

  if (word == "reminder-list-order" && count == 2) return reminderListOrderRoute(args[1]);
  if (word == "secret") {
    return to(count == 3 && !args[2].empty() ? Command::Secret : Command::Usage);
  }
  if (count == 3 && word == "listen" && args[1] == "who" && args[2] == "mic") {
    return to(Command::MicUserWatch);
  }
  if (word == "listen") return listenRoute(args);
  if (word == "browsers") return to(count == 1 ? Command::Browsers : Command::Usage);
  if (word == "running-apps") return to(count == 1 ? Command::RunningApps : Command::Usage);
  if (word == "chrome-profiles") return to(Command::ChromeProfiles);
  if (word == "chrome-open") {
    return to(chromeOpenAccepted(args) ? Command::ChromeOpen : Command::Usage);
  }
  if (word == "mic-users") return to(Command::MicUsers);
  if (word == "memory") return to(Command::Memory);
  if (word == "music-hush") return to(count == 1 ? Command::MusicHush : Command::Usage);
  if (word == "music-play") {
    return to(musicPlayAccepted(args) ? Command::MusicPlay : Command::Usage);
  }
  if (word == "sound") {
    bool accepted =
        count == 2 && allLetters(args[1]) && platform.systemSounds->exists(args[1]);
    return to(accepted ? Command::Sound : Command::Usage);
  }
  if (word == "opener") {
    return to(count == 2 && platform.desktop->isUrl(args[1]) ? Command::Opener : Command::Usage);
  }
  if (word == "audio-route") return to(count == 1 ? Command::AudioRoute : Command::Usage);
  if (word == "device-id") return to(count == 1 ? Command::DeviceId : Command::Usage);
  if (word == "exclude-from-backup") {
    return to(count == 2 && startsWith(args[1], "/") ? Command::ExcludeFromBackup
                                                      : Command::Usage);
  }
  if (startsWith(word, "reminder")) return to(Command::Reminders);
  if (startsWith(word, "permission")) return to(Command::Permissions);
  if (word == "calendars" || word == "event-add" || word == "event-update" ||
      word == "event-delete" || word == "events") {
    return to(Command::Calendar);
  }
  return to(Command::Usage);
}

void dispatch(Context& context, const std::vector<std::string>& args) {
  Route r = route(args, context.platform);
  switch (r.command) {
    case Command::Usage:
      usageError(context.console);
    case Command::ReminderListOrder:
      replyListOrder(context, r.request);
    case Command::Secret:
      runSecret(context, args[1], args[2]);
    case Command::MicUserWatch:
      runMicUserWatch(context);
    case Command::Dictate:
      runDictate(context, r.quietSeconds, r.hold, r.keep);
    case Command::HoldKey:
      runHoldKey(context, args[2]);
    case Command::Meeting:
      runListen(context, args[2]);
    case Command::Browsers:
      runBrowsers(context);
    case Command::RunningApps:
      runRunningApps(context);
    case Command::ChromeProfiles:
      runChromeProfiles(context);
    case Command::ChromeOpen:
      runChromeOpen(context, args[1], args[2], args[3]);
    case Command::MicUsers:
      runMicUsers(context);
    case Command::Memory:
      runMemory(context);
    case Command::MusicHush:
      runMusicHush(context);
    case Command::MusicPlay:
      runMusicPlay(context, std::vector<std::string>(args.begin() + 1, args.end()));
    case Command::Sound:
      runSound(context, args[1]);
    case Command::Opener:
      runOpener(context, args[1]);
    case Command::AudioRoute:
      runAudioRoute(context);
    case Command::DeviceId:
      runDeviceId(context);
    case Command::ExcludeFromBackup:
      runExcludeFromBackup(context, args[1]);
    case Command::Reminders:
      runReminders(context, args);
    case Command::Permissions:
      runPermissions(context, args);
    case Command::Calendar:
      runCalendarCommand(context, args);
  }
  usageError(context.console);
}
