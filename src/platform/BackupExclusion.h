#pragma once

#include <optional>
#include <string>

// The mark that keeps a file out of backups. Exists so tests can replace it.
class BackupExclusion {
 public:
  virtual ~BackupExclusion() = default;

  // Marks the file at the absolute path; on failure returns the system's description of why.
  virtual std::optional<std::string> exclude(const std::string& path) = 0;
  // Reads the mark back from the file system: true only when the file carries it.
  virtual bool isExcluded(const std::string& path) = 0;
};
