#pragma once

#include <set>

#include "platform/BackupExclusion.h"

// Marks paths in a set; a path in `failing` fails with `failure`.
class FakeBackupExclusion final : public BackupExclusion {
 public:
  std::set<std::string> marked;
  std::set<std::string> failing;
  std::string failure = "No such file or directory";
  bool keepsMark = true;  // false: the file system drops the mark silently

  std::optional<std::string> exclude(const std::string& path) override {
    if (failing.count(path)) return failure;
    if (keepsMark) marked.insert(path);
    return std::nullopt;
  }
  bool isExcluded(const std::string& path) override { return marked.count(path) > 0; }
};
