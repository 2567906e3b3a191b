#include "main/Reply.h"

#include "base/Console.h"
#include "base/ExitStatus.h"
#include "base/JsonText.h"

#include <cstdlib>

const std::string_view USAGE =
    "usage: vesk-native calendars | events <fromISO> <toISO> <calendarId>... | event-add <json> | "
    "event-update <json> | event-delete <json> | running-apps | chrome-profiles | chrome-open <app> "
    "<profile> <url> | mic-users | listen who mic | sound <name> | secret get|set|clear <name> | "
    "reminders-access | reminders | reminders-done <YYYY-MM-DD> | reminder-add <json> | "
    "reminder-update <id> <json> | reminder-delete <id> | permission <name> [--no-launch] | "
    "permission-request <name> | browsers | opener <url> | exclude-from-backup <absolutePath> | "
    "audio-route | device-id | listen meeting <mic|both> | listen dictate <mic|talk> | listen "
    "dictate hold | listen dictate <mic-keep|hold-keep> | listen hold-key "
    "<control|right-option|none>";

void emit(Console& console, const nlohmann::json& value) {
  // No command builds text that is not UTF-8; should one, its bad bytes become U+FFFD
  // rather than the reply being lost.
  console.out(jsonText(value, nlohmann::json::error_handler_t::replace));
}

void fail(Console& console, std::string_view message, int status) {
  console.err(message);
  console.end(status);
  std::abort();  // end() never returns; this only guards against a console that does
}

void usageError(Console& console) { fail(console, USAGE, EXIT_USAGE); }

void reply(Console& console, const nlohmann::json& value) {
  emit(console, value);
  console.end(EXIT_OK);
  std::abort();
}
