#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/Processes.h"

// A process table to arrange; by default the bridge (pid 20) was started by pid 10.
class FakeProcesses final : public Processes {
 public:
  int selfPid = 20;
  int parentPid = 10;
  bool readable = true;
  std::vector<Entry> table;
  std::map<int, std::uint64_t> sizes;         // processes without one cannot be measured
  std::map<int, std::string> desktopEntries;  // by pid

  int self() override { return selfPid; }
  int parentOfSelf() override { return parentPid; }
  std::optional<std::vector<Entry>> all() override {
    if (!readable) return std::nullopt;
    return table;
  }
  std::optional<std::uint64_t> proportionalSetSize(int pid) override {
    auto size = sizes.find(pid);
    if (size == sizes.end()) return std::nullopt;
    return size->second;
  }
  std::string desktopEntryOf(int pid) override {
    auto entry = desktopEntries.find(pid);
    return entry == desktopEntries.end() ? "" : entry->second;
  }
};
