#include "base/Usage.h"

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
