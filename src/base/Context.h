#pragma once

class Console;
struct Platform;
struct Timings;

// What every command handler works with: the platform services, the standard streams with the
// process's ending, and the program's durations. Built once in main(); tests build their own.
struct Context {
  Platform& platform;
  Console& console;
  const Timings& timings;
};
