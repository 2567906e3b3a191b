#pragma once

#include <string>
#include <string_view>
#include <vector>

// Command lines and what becomes of them: the row the router takes them to (unit tests) and, for
// those refused, the usage error of the built binary (cli tests). The platform is the tests'
// fakes for the router, the machine's own for the binary; no row here depends on the difference.
struct CommandLine {
  std::vector<std::string> args;
  std::string_view route;         // the router's row, by its first phrase; "" for a usage error
  bool commandRefuses = false;    // the row's own command refuses the arguments as a usage error
  bool refused() const { return route.empty() || commandRefuses; }
};

constexpr bool COMMAND_REFUSES = true;
inline const std::string CHROME = "/usr/share/applications/google-chrome.desktop";

inline const std::vector<CommandLine> COMMAND_LINES = {
    // Nothing, and words that name no row.
    {{}, ""},
    {{"hello"}, ""},
    {{"nonsense"}, ""},
    {{"Calendars"}, ""},
    {{""}, ""},
    {{"event"}, ""},
    // Exact counts, and extras some rows ignore.
    {{"browsers"}, "browsers"},
    {{"browsers", "x"}, ""},
    {{"browsers", "extra"}, ""},
    {{"running-apps", "x"}, ""},
    {{"running-apps", "extra"}, ""},
    {{"chrome-profiles", "x", "y"}, "chrome-profiles"},
    {{"mic-users", "x"}, "mic-users"},
    {{"memory", "x"}, "memory"},
    {{"music-hush"}, "music-hush"},
    {{"music-hush", "x"}, ""},
    {{"music-hush", "extra"}, ""},
    {{"audio-route", "x"}, ""},
    {{"audio-route", "extra"}, ""},
    {{"device-id"}, "device-id"},
    {{"device-id", "x"}, ""},
    {{"device-id", "extra"}, ""},
    // secret: the action is the command's to check, the name is the router's.
    {{"secret", "get", "token"}, "secret"},
    {{"secret", "anything", "token"}, "secret"},
    {{"secret", "get", ""}, ""},
    {{"secret", "get"}, ""},
    {{"secret", "get", "a", "b"}, ""},
    // The listen modes.
    {{"listen"}, ""},
    {{"listen", "who", "mic"}, "listen who mic"},
    {{"listen", "who", "me"}, ""},
    {{"listen", "who", "them"}, ""},
    {{"listen", "meeting", "mic"}, "listen"},
    {{"listen", "meeting", "both"}, "listen"},
    {{"listen", "meeting", "them"}, ""},
    {{"listen", "meeting"}, ""},
    {{"listen", "hold-key", "control"}, "listen"},
    {{"listen", "hold-key", "right-option"}, "listen"},
    {{"listen", "hold-key", "none"}, "listen"},
    {{"listen", "hold-key", "shift"}, ""},
    {{"listen", "dictate", "loud"}, ""},
    {{"listen", "dictate", "mic", "x"}, ""},
    {{"listen", "other", "mic"}, ""},
    // chrome-open: a desktop entry, a profile folder's name, a web address.
    {{"chrome-open", CHROME, "Default", "https://example.com"}, "chrome-open"},
    {{"chrome-open", CHROME, "Profile 1", "http://example.com"}, "chrome-open"},
    {{"chrome-open", "/opt/chrome", "Default", "https://x"}, ""},
    {{"chrome-open", "/x/chrome.app", "Default", "https://x"}, ""},
    {{"chrome-open", CHROME, "a/b", "https://x"}, ""},
    {{"chrome-open", "/x/chrome.desktop", "a/b", "https://x"}, ""},
    {{"chrome-open", CHROME, "", "https://x"}, ""},
    {{"chrome-open", "/x/chrome.desktop", "", "https://x"}, ""},
    {{"chrome-open", CHROME, "Default", "ftp://x"}, ""},
    {{"chrome-open", "/x/chrome.desktop", "Default", "file:///etc"}, ""},
    {{"chrome-open", CHROME, "Default"}, ""},
    // music-play: known players only.
    {{"music-play", "music"}, "music-play"},
    {{"music-play", "music", "spotify"}, "music-play"},
    {{"music-play"}, ""},
    {{"music-play", "music", "vlc"}, ""},
    {{"music-play", "winamp"}, ""},
    // sound: letters, and a sound that exists.
    {{"sound", "bell"}, "sound"},
    {{"sound", "Glass"}, "sound"},
    {{"sound", "Basso"}, ""},
    {{"sound", "no-such-sound"}, ""},
    {{"sound", "NoSuchSoundAtAll"}, ""},
    {{"sound", ""}, ""},
    {{"sound"}, ""},
    // opener: a URL.
    {{"opener", "https://example.com"}, "opener"},
    {{"opener", "no url"}, ""},
    {{"opener", "not a url"}, ""},
    {{"opener"}, ""},
    // exclude-from-backup: an absolute path.
    {{"exclude-from-backup", "/tmp/x"}, "exclude-from-backup"},
    {{"exclude-from-backup", "tmp/x"}, ""},
    {{"exclude-from-backup", "relative/path"}, ""},
    {{"exclude-from-backup"}, ""},
    // reminder-list-order: one JSON object with an array of sources; any other count falls
    // through to the reminder commands.
    {{"reminder-list-order", R"({"sources":[]})"}, "reminder-list-order"},
    {{"reminder-list-order", "[]"}, ""},
    {{"reminder-list-order", "[1]"}, ""},
    {{"reminder-list-order", "{"}, ""},
    {{"reminder-list-order", "not json"}, ""},
    {{"reminder-list-order", R"({"sources":{}})"}, ""},
    {{"reminder-list-order", R"({"sources":"x"})"}, ""},
    {{"reminder-list-order", R"({"sources":[1]})"}, ""},
    {{"reminder-list-order", R"({})"}, ""},
    {{"reminder-list-order"}, "reminder"},
    {{"reminder-list-order", "{}", "x"}, "reminder"},
    // Rows that take every line that begins with their word, and the calendar words.
    {{"reminders"}, "reminder"},
    {{"reminder-add", "{}"}, "reminder"},
    {{"reminderX"}, "reminder"},
    {{"calendars"}, "calendars"},
    {{"events"}, "calendars"},
    {{"event-add"}, "calendars"},
    {{"event-update"}, "calendars"},
    {{"event-delete"}, "calendars"},
    {{"permission", "microphone"}, "permission"},
    {{"permissions"}, "permission"},
    // The permission commands check their own forms.
    {{"permission"}, "permission", COMMAND_REFUSES},
    {{"permissions", "microphone"}, "permission", COMMAND_REFUSES},
    {{"permission", "bluetooth"}, "permission", COMMAND_REFUSES},
    {{"permission", "microphone", "--launch"}, "permission", COMMAND_REFUSES},
    {{"permission", "microphone", "a", "b"}, "permission", COMMAND_REFUSES},
    {{"permission-request"}, "permission", COMMAND_REFUSES},
    {{"permission-request", "mail", "--no-launch"}, "permission", COMMAND_REFUSES},
};

// The arguments as one text, each in brackets, for a failure's message.
inline std::string shown(const std::vector<std::string>& args) {
  std::string text;
  for (const auto& arg : args) text += "[" + arg + "]";
  return text;
}
