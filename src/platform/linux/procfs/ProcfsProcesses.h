#pragma once

#include <string>

#include "platform/Processes.h"

// The process table read from /proc. Stateless: every call reads the files afresh.
class ProcfsProcesses : public Processes {
 public:
  // root: where the process file system is mounted ("/proc"; tests point it at a fixture).
  explicit ProcfsProcesses(std::string root = "/proc");

  int self() override;
  int parentOfSelf() override;
  std::optional<std::vector<Entry>> all() override;
  std::optional<std::uint64_t> proportionalSetSize(int pid) override;
  std::string desktopEntryOf(int pid) override;

  // The fields of one /proc/<pid>/stat line; nothing when it does not parse.
  static std::optional<Entry> parseStat(const std::string& line);
  // The "Pss:" figure of a smaps_rollup text, in bytes.
  static std::optional<std::uint64_t> parsePss(const std::string& text);
  // The application id of a desktop application's systemd unit ("app-gnome-org.gnome.Foo-12.scope"
  // gives "org.gnome.Foo"), or "" when the name is not such a unit.
  static std::string appIdOfUnit(const std::string& unit);

 private:
  std::string root;

  std::string processFile(int pid, const char* name) const;
};
