#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The system's processes as the kernel reports them. Exists so tests can replace it.
class Processes {
 public:
  struct Entry {
    int pid = 0;
    int parentPid = 0;
    std::string name;  // the kernel's short name of the process
  };

  virtual ~Processes() = default;

  virtual int self() = 0;
  virtual int parentOfSelf() = 0;
  // Every process, in ascending id order; nothing when the process table cannot be read.
  virtual std::optional<std::vector<Entry>> all() = 0;
  // The process's proportional set size in bytes; nothing when it cannot be read.
  virtual std::optional<std::uint64_t> proportionalSetSize(int pid) = 0;
  // The id of the desktop entry of the application the process was started as (without
  // ".desktop"), or "" when there is no sign of one.
  virtual std::string desktopEntryOf(int pid) = 0;
};
