#pragma once

class Console;

// Runs the main thread's loop of a listen mode, which only waits: the session's ending (or a
// watchdog) ends the process from another thread. Never returns.
[[noreturn]] void waitForEnding(Console& console);
