#include "main/Dispatch.h"

#include <locale.h>

#include <algorithm>
#include <clocale>
#include <cwctype>

#include "landing/command/HoldKeyCommand.h"
#include "listening/dictation/DictateCommand.h"
#include "listening/meeting/ListenCommand.h"
#include "base/Console.h"
#include "base/Context.h"
#include "base/ExitStatus.h"
#include "main/Reply.h"
#include "main/apps/AppCommands.h"
#include "main/calendar/CalendarCommands.h"
#include "main/machine/MachineCommands.h"
#include "main/permissions/Permissions.h"
#include "main/reminders/ReminderCommands.h"
#include "main/reminders/ReminderListOrder.h"
#include "main/secrets/SecretCommand.h"
#include "platform/EventStoreTimeout.h"
#include "platform/Platform.h"

namespace {

bool startsWith(const std::string& text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::string& text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Decodes one UTF-8 sequence at text[at]; returns false for malformed input.
bool nextCodePoint(const std::string& text, size_t& at, char32_t& point) {
  auto byte = [&](size_t index) { return static_cast<unsigned char>(text[index]); };
  unsigned char lead = byte(at);
  size_t length = lead < 0x80           ? 1
                  : (lead >> 5) == 0x6  ? 2
                  : (lead >> 4) == 0xE  ? 3
                  : (lead >> 3) == 0x1E ? 4
                                        : 0;
  if (length == 0 || at + length > text.size()) return false;
  point = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t offset = 1; offset < length; ++offset) {
    if ((byte(at + offset) & 0xC0) != 0x80) return false;
    point = (point << 6) | (byte(at + offset) & 0x3F);
  }
  static constexpr char32_t SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
  if (point < SMALLEST[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
    return false;
  }
  at += length;
  return true;
}

// True when every character is a letter in the Unicode sense; the empty text passes.
bool allLetters(const std::string& text) {
  // The C.UTF-8 locale classifies all of Unicode, whatever the user's locale.
  static locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  for (size_t at = 0; at < text.size();) {
    char32_t point = 0;
    if (!nextCodePoint(text, at, point)) return false;
    bool letter = unicode ? iswalpha_l(static_cast<wint_t>(point), unicode) != 0
                          : (point < 0x80 && std::isalpha(static_cast<int>(point)));
    if (!letter) return false;
  }
  return true;
}

// Row checks. Each is asked only for the row its arguments name.

template <std::size_t COUNT>
bool exactly(const Arguments& args, Platform&, Route&) {
  return args.size() == COUNT;
}

bool anyArguments(const Arguments&, Platform&, Route&) { return true; }

bool listOrderAccepted(const Arguments& args, Platform&, Route& route) {
  auto request = readListOrderRequest(args[1]);
  if (!request) return false;
  route.request = std::move(*request);
  return true;
}

bool secretAccepted(const Arguments& args, Platform&, Route&) {
  return args.size() == 3 && !args[2].empty();
}

// listen <mode> <value>, where the value must be one the mode knows.
bool listenAccepted(const Arguments& args, Platform&, Route& route) {
  if (args.size() != 3) return false;
  const std::string& mode = args[1];
  const std::string& value = args[2];
  if (mode == "dictate") {
    auto quiet = dictateQuietSeconds(value);
    if (!quiet) return false;
    route.quietSeconds = *quiet;
    route.hold = value == "hold" || value == "hold-keep";
    route.keep = endsWith(value, "-keep");
    return true;
  }
  if (mode == "hold-key") return value == "control" || value == "right-option" || value == "none";
  if (mode == "meeting") return value == "mic" || value == "both";
  return false;
}

bool chromeOpenAccepted(const Arguments& args, Platform&, Route&) {
  // The application is the desktop entry that `browsers` reported.
  return args.size() == 4 && endsWith(args[1], ".desktop") && !args[2].empty() &&
         args[2].find('/') == std::string::npos &&
         (startsWith(args[3], "https://") || startsWith(args[3], "http://"));
}

bool musicPlayAccepted(const Arguments& args, Platform&, Route&) {
  if (args.size() < 2) return false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (!isMusicPlayer(args[i])) return false;
  }
  return true;
}

bool soundAccepted(const Arguments& args, Platform& platform, Route&) {
  return args.size() == 2 && allLetters(args[1]) && platform.systemSounds->exists(args[1]);
}

bool openerAccepted(const Arguments& args, Platform& platform, Route&) {
  return args.size() == 2 && platform.desktop->isUrl(args[1]);
}

bool absolutePathAccepted(const Arguments& args, Platform&, Route&) {
  return args.size() == 2 && startsWith(args[1], "/");
}

// Handlers in the shape of the table.

template <void (*RUN)(Context&)>
void withContext(Context& context, const Arguments&, const Route&) {
  RUN(context);
}

template <void (*RUN)(Context&, const std::string&)>
void withArgument(Context& context, const Arguments& args, const Route&) {
  RUN(context, args[1]);
}

template <void (*RUN)(Context&, const std::vector<std::string>&)>
void withArguments(Context& context, const Arguments& args, const Route&) {
  RUN(context, args);
}

void runSecretRow(Context& context, const Arguments& args, const Route&) {
  runSecret(context, args[1], args[2]);
}

void runChromeOpenRow(Context& context, const Arguments& args, const Route&) {
  runChromeOpen(context, args[1], args[2], args[3]);
}

void runMusicPlayRow(Context& context, const Arguments& args, const Route&) {
  runMusicPlay(context, Arguments(args.begin() + 1, args.end()));
}

void runListOrderRow(Context& context, const Arguments&, const Route& route) {
  reply(context.console, reminderListOrder(route.request));
}

void runListenRow(Context& context, const Arguments& args, const Route& route) {
  const std::string& mode = args[1];
  if (mode == "dictate") runDictate(context, route.quietSeconds, route.hold, route.keep);
  if (mode == "hold-key") runHoldKey(context, args[2]);
  runListen(context, args[2]);
}

using Match = CommandRow::Match;

// Every command, in the order they are tried.
const CommandRow COMMANDS[] = {
    {.phrases = {"reminder-list-order"},
     .onlyWithCount = 2,
     .accepts = listOrderAccepted,
     .run = runListOrderRow},
    {.phrases = {"secret"}, .accepts = secretAccepted, .run = runSecretRow},
    {.phrases = {"listen who mic"}, .accepts = exactly<3>, .run = withContext<runMicUserWatch>},
    {.phrases = {"listen"}, .accepts = listenAccepted, .run = runListenRow},
    {.phrases = {"browsers"}, .accepts = exactly<1>, .run = withContext<runBrowsers>},
    {.phrases = {"running-apps"}, .accepts = exactly<1>, .run = withContext<runRunningApps>},
    {.phrases = {"chrome-profiles"},
     .accepts = anyArguments,
     .run = withContext<runChromeProfiles>},
    {.phrases = {"chrome-open"}, .accepts = chromeOpenAccepted, .run = runChromeOpenRow},
    {.phrases = {"mic-users"}, .accepts = anyArguments, .run = withContext<runMicUsers>},
    {.phrases = {"memory"}, .accepts = anyArguments, .run = withContext<runMemory>},
    {.phrases = {"music-hush"}, .accepts = exactly<1>, .run = withContext<runMusicHush>},
    {.phrases = {"music-play"}, .accepts = musicPlayAccepted, .run = runMusicPlayRow},
    {.phrases = {"sound"}, .accepts = soundAccepted, .run = withArgument<runSound>},
    {.phrases = {"opener"}, .accepts = openerAccepted, .run = withArgument<runOpener>},
    {.phrases = {"audio-route"}, .accepts = exactly<1>, .run = withContext<runAudioRoute>},
    {.phrases = {"device-id"}, .accepts = exactly<1>, .run = withContext<runDeviceId>},
    {.phrases = {"exclude-from-backup"},
     .accepts = absolutePathAccepted,
     .run = withArgument<runExcludeFromBackup>},
    // The handlers of the last three rows check their own arguments.
    {.phrases = {"reminder"},
     .match = Match::Prefix,
     .accepts = anyArguments,
     .run = withArguments<runReminders>},
    {.phrases = {"permission"},
     .match = Match::Prefix,
     .accepts = anyArguments,
     .run = withArguments<runPermissions>},
    {.phrases = {"calendars", "event-add", "event-update", "event-delete", "events"},
     .accepts = anyArguments,
     .run = withArguments<runCalendarCommand>},
};

// Whether the arguments begin with the phrase's words.
bool beginsWithWords(const Arguments& args, std::string_view phrase) {
  std::size_t at = 0;
  for (const std::string& argument : args) {
    std::size_t end = std::min(phrase.find(' ', at), phrase.size());
    if (argument != phrase.substr(at, end - at)) return false;
    if (end == phrase.size()) return true;
    at = end + 1;
  }
  return false;
}

}  // namespace

bool CommandRow::named(const Arguments& args) const {
  if (args.empty() || (onlyWithCount != 0 && args.size() != onlyWithCount)) return false;
  for (std::string_view phrase : phrases) {
    if (match == Match::Prefix ? startsWith(args[0], phrase) : beginsWithWords(args, phrase)) {
      return true;
    }
  }
  return false;
}

std::string_view Route::command() const { return row ? row->phrases.front() : ""; }

Route route(const Arguments& args, Platform& platform) {
  Route found;
  for (const CommandRow& row : COMMANDS) {
    if (!row.named(args)) continue;
    if (row.accepts(args, platform, found)) found.row = &row;
    return found;
  }
  return found;
}

void dispatch(Context& context, const Arguments& args) {
  Route found = route(args, context.platform);
  try {
    if (found.row) found.row->run(context, args, found);
  } catch (const EventStoreTimeout& silent) {
    // Whatever the command was doing, a store that stopped answering ends it the same way.
    fail(context.console, silent.what(), EXIT_FAILED);
  }
  usageError(context.console);
}
