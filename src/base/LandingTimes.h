#pragma once

// The fixed durations of hold-to-talk and text landing, the defaults of their Timings.
// How long the hold key must stay down alone before the hold counts.
inline constexpr double HOLD_SECONDS = 0.2;
// From the paste keystroke to putting the earlier clipboard contents back.
inline constexpr double CLIPBOARD_BACK_SECONDS = 1.0;
// The interval of the accessibility-trust poll.
inline constexpr double ACCESS_CHECK_SECONDS = 2.0;
// The longest one question to an application's accessibility interface may take.
inline constexpr float ASK_APP_SECONDS = 0.5f;
// From the end of standard input to the exit, whatever is still landing.
inline constexpr double HOLD_KEY_BACKSTOP_SECONDS = 2.0;
// How long the watcher waits for the events of keys the bridge posted itself.
inline constexpr double OWN_KEYS_SECONDS = 1.0;
